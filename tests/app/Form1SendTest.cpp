// What the main window sends over a loopback session: its hull texture's pixel bits (and what
// it tells its own player about a texture the others cannot take) and its yacht's state once a
// tick.
#include "app/Form1.h"
#include "app/Form2.h"
#include "tests/ddpd/DDPDTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

using namespace ddpdtest;
namespace fs = std::filesystem;

namespace {

class Sending : public ::testing::Test {
protected:
    void SetUp() override {
        UsePrivateQueryPort();
        Form = std::make_unique<TForm1>(Clock);
        ASSERT_EQ(Form->DDPD1->SelectConnection(kLoopbackProvider), 0);
        ASSERT_EQ(Form->DDPD1->CreateSession("race", "anna", "anna"), 0);
        Guest = LoadedComponent();
        ASSERT_EQ(Guest->SelectConnection(kLoopbackProvider), 0);
        ASSERT_EQ(Guest->Sessions->Count(), 1);
        Guest->OnArriveMessage = [this](ddpd::TDDPD*, ddpd::TDDPDPlayer*, void* Data,
                                        std::int32_t Size) {
            const auto* b = static_cast<const std::uint8_t*>(Data);
            Received.emplace_back(b, b + Size);
        };
        ASSERT_EQ(Guest->JoinSession(0, "ben", "ben"), 0);
        Form->Roster->RemovePlayer(Form->LocalId);
        Form->LocalId = static_cast<std::int32_t>(Form->DDPD1->LocalPlayerID);
        Form->Roster->AddPlayer(Form->LocalId);
    }

    TManualClock Clock{1000};
    std::unique_ptr<TForm1> Form;
    std::unique_ptr<ddpd::TDDPD> Guest;
    std::vector<std::vector<std::uint8_t>> Received;
};

TEST_F(Sending, TheHullTextureGoesAsItsPixelBitsOnly) {
    const fs::path file = fs::path(MAREVO_SOURCE_DIR) / "tests/app/data/template24.bmp";
    std::ifstream in(file, std::ios::binary);
    const std::vector<std::uint8_t> bitmap{std::istreambuf_iterator<char>(in),
                                           std::istreambuf_iterator<char>()};
    Form->HullTextureFile = file.string();
    Form->SendHullTexture();
    ASSERT_TRUE(PumpUntil([&] { return !Received.empty(); }));
    EXPECT_EQ(Received[0], std::vector<std::uint8_t>(bitmap.begin() + 54, bitmap.end()));
}

TEST_F(Sending, NothingGoesWithoutAUsableHullTexture) {
    Form->HullTextureFile = "";
    Form->SendHullTexture();
    Form->HullTextureFile = "no-such-file.bmp";
    Form->SendHullTexture();
    EXPECT_FALSE(PumpUntil([&] { return !Received.empty(); }, std::chrono::milliseconds(300)));
}

TEST_F(Sending, ATickSendsTheLocalStateOnlyInASession) {
    TYachtState s;
    s.X = 12;
    s.Heading = 30;
    Form->Roster->SetState(Form->LocalId, s);
    Form->Timer1Timer();
    ASSERT_TRUE(PumpUntil([&] { return !Received.empty(); }));
    ASSERT_EQ(Received[0].size(), 28u);
    EXPECT_EQ(Received[0][0], 2);
    const TYachtState sent = Form->Roster->GetState(Form->LocalId);
    EXPECT_EQ(std::memcmp(Received[0].data() + 4, &sent, sizeof sent), 0);
    Received.clear();
    Form->LocalId = 1;
    Form->Timer1Timer();
    EXPECT_FALSE(PumpUntil([&] { return !Received.empty(); }, std::chrono::milliseconds(300)));
}

TEST_F(Sending, ATextureChosenInASessionIsSentAndOneTheOthersCannotTakeIsToldHereOnly) {
    Form->Timer1->stop(); // only the texture is to cross
    // The guest's arrival, which sends the texture of its own accord, is behind us.
    ASSERT_TRUE(PumpUntil([&] {
        return Form->Roster->IndexOf(static_cast<std::int32_t>(Guest->LocalPlayerID)) > 0;
    }));
    Form2 = new TForm2(*Form->DDPD1, Form.get());
    const fs::path data = fs::path(MAREVO_SOURCE_DIR) / "tests/app/data";
    struct {
        const char* File;
        std::size_t SentSize;
        bool Noted;
    } cases[] = {{"template24.bmp", 49152, false}, {"small24.bmp", 12288, true}};
    for (const auto& c : cases) {
        Received.clear();
        Form2->ChatMemo->clear();
        Form->OpenPictureDialog1.OnExecute = [&] { return (data / c.File).string(); };
        Form->H1Click();
        ASSERT_TRUE(PumpUntil([&] { return !Received.empty(); })) << c.File;
        EXPECT_EQ(Received[0].size(), c.SentSize) << c.File;
        // The note is for this player alone: nothing follows the texture on the wire.
        EXPECT_FALSE(PumpUntil([&] { return Received.size() > 1; }, std::chrono::milliseconds(300)))
            << c.File;
        const QString log = Form2->ChatMemo->toPlainText();
        EXPECT_EQ(
            log.contains(QString::fromUtf8("「small24.bmp」は他のプレイヤーと交換できません")),
            c.Noted)
            << log.toStdString();
        EXPECT_EQ(log.contains(QString::fromUtf8("128 × 128 ピクセル、24 ビット")), c.Noted);
    }
    delete Form2;
}

} // namespace
