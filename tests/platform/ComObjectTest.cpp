#include "platform/com/ComObject.h"
#include "platform/com/ComRef.h"

#include <gtest/gtest.h>

namespace {

struct IThing : IUnknown {};
struct IThing2 : IThing {};
constexpr IID IID_IThing{1, 0, 0, {}}, IID_IThing2{2, 0, 0, {}}, IID_Other{3, 0, 0, {}};

TFailurePlan& ThingFailures() {
    static TFailurePlan plan;
    return plan;
}

// Counts its destructions and last releases, so a test sees exactly when it goes.
class TThing final : public TComObject<IThing2> {
public:
    TThing(int& Deaths, HRESULT NullOut = E_POINTER, ULONG Initial = 1, int* Lasts = nullptr)
        : TComObject({ThingFailures, NullOut}, "IThing", {IID_IThing, IID_IThing2}, Initial),
          Deaths(Deaths), Lasts(Lasts) {}
    // What the larger object does with a face when it goes itself.
    void Destroy() { delete this; }

private:
    ~TThing() override { ++Deaths; }
    void LastReleased() override {
        if (Lasts)
            ++*Lasts; // a face of a larger object: that object decides when it goes
        else
            delete this;
    }
    int& Deaths;
    int* Lasts;
};

} // namespace

TEST(ComObject, AnswersItsListedInterfacesWithAReferenceAndNothingElse) {
    ThingFailures().Clear();
    int deaths = 0;
    auto* thing = new TThing(deaths);
    const struct {
        const IID& Iid;
        HRESULT Result;
        ULONG RefsAfter;
    } cases[] = {{IID_IThing, S_OK, 2}, {IID_IThing2, S_OK, 3}, {IID_Other, E_NOINTERFACE, 3}};
    for (const auto& c : cases) {
        void* out = reinterpret_cast<void*>(1);
        EXPECT_EQ(thing->QueryInterface(c.Iid, &out), c.Result);
        EXPECT_EQ(out, c.Result == S_OK ? static_cast<IThing2*>(thing) : nullptr);
        EXPECT_EQ(thing->References(), c.RefsAfter);
    }
    EXPECT_EQ(thing->QueryInterface(IID_IThing, nullptr), E_POINTER);
    ThingFailures().Fail("IThing::QueryInterface", E_OUTOFMEMORY);
    void* out = nullptr;
    EXPECT_EQ(thing->QueryInterface(IID_IThing, &out), E_OUTOFMEMORY);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(thing->References(), 3u);
    for (ULONG left : {2u, 1u, 0u}) {
        EXPECT_EQ(deaths, 0);
        EXPECT_EQ(thing->Release(), left);
    }
    EXPECT_EQ(deaths, 1);

    // A family may answer a missing out pointer its own way.
    auto* strict = new TThing(deaths, E_INVALIDARG);
    EXPECT_EQ(strict->QueryInterface(IID_IThing, nullptr), E_INVALIDARG);
    strict->Release();
    EXPECT_EQ(deaths, 2);
}

TEST(ComObject, AFaceHandedOutLaterIgnoresAReleaseTooManyAndReportsItsLastOnce) {
    int deaths = 0, lasts = 0;
    auto* face = new TThing(deaths, E_POINTER, 0, &lasts);
    EXPECT_EQ(face->Release(), 0u);
    EXPECT_EQ(lasts, 0);
    EXPECT_EQ(face->AddRef(), 1u);
    EXPECT_EQ(face->Release(), 0u);
    EXPECT_EQ(face->Release(), 0u);
    EXPECT_EQ(lasts, 1);
    EXPECT_EQ(deaths, 0);
    face->Destroy();
}

TEST(ComRef, ReleasesOnceOnScopeExitOutResetAndMoveButNotAfterDetach) {
    int deaths = 0;
    {
        TComRef<IThing> held(new TThing(deaths));
        *held.Out() = new TThing(deaths); // Out drops the first
        EXPECT_EQ(deaths, 1);
        TComRef<IThing> moved(std::move(held));
        EXPECT_FALSE(held);
        held = std::move(moved);
        EXPECT_EQ(deaths, 1);
        TComRef<IThing> other(new TThing(deaths));
        other = std::move(held); // the one other held goes
        EXPECT_EQ(deaths, 2);
        IThing* kept = other.Detach();
        other.Reset(new TThing(deaths));
        EXPECT_EQ(deaths, 2);
        kept->Release();
        EXPECT_EQ(deaths, 3);
    }
    EXPECT_EQ(deaths, 4);
}
