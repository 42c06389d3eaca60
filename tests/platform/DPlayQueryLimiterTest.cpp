// Answers to session queries under floods, in virtual time: a player searching the way the
// session search does is still answered, and what the host sends stays bounded.
#include "platform/dplay/QueryLimiter.h"
#include "platform/dplay/Wire.h"

#include <gtest/gtest.h>

#include <functional>
#include <queue>
#include <random>

using namespace dplay;
using namespace std::chrono;
using TTime = TQueryLimiter::TTime;

namespace {

const TTime kStart = TTime{} + hours(1);
constexpr std::uint32_t kPlayer = 0x0A000001;

struct TFlood {
    const char* What;
    int Sources;
    double PerSource; // queries a second from each
};

struct TOutcome {
    int Searches = 0;
    int SearchesAnswered = 0;
    long Answers = 0;
    int MostAnswersToOneFlooder = 0;
};

// Floods for Length while a player searches every 3 to 10 s: a query at once and one every
// 200 ms until the first answer or until a second is up.
TOutcome Simulate(const TFlood& Flood, seconds Length, unsigned Seed) {
    std::mt19937 random(Seed);
    TQueryLimiter limiter;
    TOutcome out;
    std::vector<int> perFlooder(Flood.Sources);
    using TEvent = std::pair<TTime, int>; // who: -1 the player, else a flooder
    std::priority_queue<TEvent, std::vector<TEvent>, std::greater<>> events;
    const auto period = duration_cast<nanoseconds>(duration<double>(1.0 / Flood.PerSource));
    for (int i = 0; i < Flood.Sources; ++i)
        events.push({kStart + nanoseconds(random() % period.count()), i});
    events.push({kStart + milliseconds(random() % 3000), -1});
    const TTime end = kStart + Length;
    TTime searchEnd{};
    bool answered = true;
    std::uint32_t nonce = 0, searchNonce = 0;
    while (!events.empty() && events.top().first < end) {
        const auto [now, who] = events.top();
        events.pop();
        if (who >= 0) {
            if (limiter.Allow(0xC0000000u + static_cast<std::uint32_t>(who), ++nonce, now)) {
                ++out.Answers;
                out.MostAnswersToOneFlooder =
                    std::max(out.MostAnswersToOneFlooder, ++perFlooder[who]);
            }
            events.push({now + period, who});
            continue;
        }
        if (answered || now >= searchEnd) { // a new search
            ++out.Searches;
            answered = false;
            searchNonce = ++nonce;
            searchEnd = now + seconds(1);
        }
        if (limiter.Allow(kPlayer, searchNonce, now)) {
            ++out.Answers;
            ++out.SearchesAnswered;
            answered = true;
        }
        const bool more = !answered && now + milliseconds(200) < searchEnd;
        events.push(
            {more ? now + milliseconds(200) : searchEnd + milliseconds(2000 + random() % 7000),
             -1});
    }
    return out;
}

} // namespace

TEST(DPlayQueryLimiter, APlayerIsAnsweredInEverySearchWhileManyAddressesFlood) {
    const TFlood floods[] = {
        {"300 addresses at 4,500 queries a second", 300, 15},
        {"300 addresses each just below its own limit", 300, 0.9},
        {"1,000 addresses at 10,000 queries a second", 1000, 10},
    };
    const auto length = seconds(120);
    for (const auto& flood : floods) {
        for (unsigned seed = 1; seed <= 3; ++seed) {
            const TOutcome o = Simulate(flood, length, seed);
            SCOPED_TRACE(std::string(flood.What) + ", seed " + std::to_string(seed));
            ASSERT_GE(o.Searches, 10);
            EXPECT_GE(o.SearchesAnswered, o.Searches - 1);
            // Bounded in all, and to each address.
            EXPECT_LE(o.Answers,
                      static_cast<long>(TQueryLimiter::kTotalRate * (length.count() + 1)));
            EXPECT_LE(o.MostAnswersToOneFlooder,
                      TQueryLimiter::kBurst + TQueryLimiter::kPerSourceRate * length.count());
        }
    }
}

TEST(DPlayQueryLimiter, AnAddressThatFloodsIsIgnoredForAWhileAndNewAddressesCannotUndoIt) {
    TQueryLimiter limiter;
    TTime now = kStart;
    int answered = 0;
    for (int i = 0; i < 100; ++i, now += milliseconds(10))
        answered += limiter.Allow(1, static_cast<std::uint32_t>(i), now);
    EXPECT_EQ(answered, TQueryLimiter::kBurst);
    // Quiet for less than its time: still ignored. A flood of new addresses meanwhile fills
    // the table but pushes nobody out.
    for (std::uint32_t a = 0; a < 3 * TQueryLimiter::kMaxSources; ++a, now += microseconds(500))
        limiter.Allow(0x20000000 + a, a, now);
    EXPECT_LE(limiter.TrackedSources(), TQueryLimiter::kMaxSources);
    EXPECT_FALSE(limiter.Allow(1, 1000, kStart + seconds(20)));
    // Its time served, it is answered again, but going on as before it is soon ignored again.
    const TTime served = kStart + seconds(1) + TQueryLimiter::kIgnoreFor;
    EXPECT_TRUE(limiter.Allow(1, 1001, served));
    EXPECT_FALSE(limiter.Allow(1, 1002, served + milliseconds(10)));
    EXPECT_FALSE(limiter.Allow(1, 1003, served + seconds(5)));
}

namespace {

// How each of many addresses asks: PerSecond datagrams evenly spread, a new nonce every
// PerNonce of them.
struct TSlowFlood {
    const char* What;
    int Sources;
    double PerSecond;
    int PerNonce;
    bool RepliesLost; // every answer to the player is lost on the way, so it always resends
};

struct TSearchOutcome {
    int Searches = 0;
    int Granted = 0; // searches for which the limiter let an answer go out
    long FloodAnswers = 0;
    int MostToOneFlooder = 0;
};

// A player searches once a second for Length as SessionSearch does: a query at once and the
// same query again every 200 ms, five at most, until an answer reaches it.
TSearchOutcome SearchOnceASecond(const TSlowFlood& Flood, seconds Length, unsigned Seed) {
    std::mt19937 random(Seed);
    TQueryLimiter limiter;
    TSearchOutcome out;
    struct TFlooder {
        std::uint32_t Nonce = 0;
        long Sent = 0;
        int Answers = 0;
    };
    std::vector<TFlooder> flooders(static_cast<std::size_t>(Flood.Sources));
    constexpr int kSearchStarts = -1, kResend = -2;
    using TEvent = std::pair<TTime, int>;
    std::priority_queue<TEvent, std::vector<TEvent>, std::greater<>> events;
    const auto period = duration_cast<nanoseconds>(duration<double>(1.0 / Flood.PerSecond));
    for (int i = 0; i < Flood.Sources; ++i)
        events.push({kStart + nanoseconds(random() % period.count()), i});
    for (int s = 0; s < Length.count(); ++s)
        events.push({kStart + seconds(s) + milliseconds(random() % 100), kSearchStarts});
    const TTime end = kStart + Length + seconds(1);
    std::uint32_t nonce = 0;
    int sends = 0;
    bool reached = false, granted = false;
    while (!events.empty() && events.top().first < end) {
        const auto [now, who] = events.top();
        events.pop();
        if (who >= 0) {
            TFlooder& f = flooders[static_cast<std::size_t>(who)];
            if (f.Sent++ % Flood.PerNonce == 0)
                f.Nonce = static_cast<std::uint32_t>(random());
            if (limiter.Allow(0xC0000000u + static_cast<std::uint32_t>(who), f.Nonce, now)) {
                ++out.FloodAnswers;
                out.MostToOneFlooder = std::max(out.MostToOneFlooder, ++f.Answers);
            }
            events.push({now + period, who});
            continue;
        }
        if (who == kSearchStarts) {
            ++out.Searches;
            nonce = static_cast<std::uint32_t>(random());
            sends = 0;
            reached = granted = false;
        }
        if (reached)
            continue;
        ++sends;
        if (limiter.Allow(kPlayer, nonce, now)) {
            out.Granted += !granted;
            granted = true;
            reached = !Flood.RepliesLost;
        }
        if (!reached && sends < 5)
            events.push({now + milliseconds(200), kResend});
    }
    return out;
}

} // namespace

TEST(DPlayQueryLimiter, APlayerSearchingOnceASecondIsAnsweredWhileThreeHundredAddressesAsk) {
    const TSlowFlood floods[] = {
        {"just below their own rate, a new nonce each time", 300, 0.95, 1, false},
        {"spending their burst over the run", 300, 1.25, 1, false},
        {"as a search does, ignoring the answers", 300, 5, 5, false},
        {"one nonce ten times a second", 300, 10, 1 << 30, false},
        {"too fast, so ignored", 300, 3, 1, false},
        {"just below their own rate, every answer to the player lost", 300, 0.95, 1, true},
    };
    const auto length = seconds(30);
    for (const auto& flood : floods) {
        for (unsigned seed = 1; seed <= 3; ++seed) {
            const TSearchOutcome o = SearchOnceASecond(flood, length, seed);
            SCOPED_TRACE(std::string(flood.What) + ", seed " + std::to_string(seed));
            ASSERT_EQ(o.Searches, 30);
            EXPECT_GE(o.Granted, 25);
            // What the host sends stays bounded, in all and to each address, however the
            // nonces repeat.
            EXPECT_LE(o.FloodAnswers,
                      static_cast<long>(TQueryLimiter::kTotalRate * (length.count() + 2)));
            EXPECT_LE(o.MostToOneFlooder,
                      TQueryLimiter::kBurst + TQueryLimiter::kPerSourceRate * (length.count() + 1));
        }
    }
}

TEST(DPlayQueryLimiter, AReplyIsNeverMoreThanTwiceTheQueryThatAskedForIt) {
    EXPECT_LE(kMaxReplySize, 2 * kQuerySize);
    TSessionReply largest{~0u,    GUID{~0u, 0xFFFF, 0xFFFF, {}},    GUID{}, ~0u, ~0u, ~0u,
                          0xFFFF, std::string(kMaxNameSize, '\x88')};
    const auto reply = EncodeReply(largest);
    EXPECT_LE(reply.size(), kMaxReplySize);
    EXPECT_LE(reply.size(), 2 * EncodeQuery({1, GUID{}}).size());
    EXPECT_TRUE(DecodeReply(reply));
}
