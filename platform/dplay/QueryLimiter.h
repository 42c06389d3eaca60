#pragma once
// How often the host answers session queries: a few answers a second to any one address and a
// bounded number in all, so a forged sender address cannot turn the host into a flood.

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <map>

namespace dplay {

class TQueryLimiter {
public:
    using TTime = std::chrono::steady_clock::time_point;
    static constexpr double kPerSourceRate = 10; // answers a second, and as many at once
    static constexpr double kTotalRate = 100;
    static constexpr std::size_t kMaxSources = 256;

    // True when an answer to Source may go out at Now (and counts it).
    bool Allow(std::uint32_t Source, TTime Now) {
        if (Sources.size() >= kMaxSources && !Sources.count(Source))
            Sources.clear();
        auto [it, fresh] = Sources.try_emplace(Source, TBucket{kPerSourceRate, Now});
        (void)fresh;
        TBucket& one = it->second;
        Refill(Total, Now, kTotalRate);
        Refill(one, Now, kPerSourceRate);
        if (Total.Tokens < 1 || one.Tokens < 1)
            return false;
        Total.Tokens -= 1;
        one.Tokens -= 1;
        return true;
    }

private:
    struct TBucket {
        double Tokens = 0;
        TTime Last{};
    };
    static void Refill(TBucket& B, TTime Now, double Rate) {
        if (B.Last == TTime{}) {
            B = {Rate, Now};
            return;
        }
        const double seconds = std::chrono::duration<double>(Now - B.Last).count();
        if (seconds > 0) {
            B.Tokens = std::min(Rate, B.Tokens + seconds * Rate);
            B.Last = Now;
        }
    }
    TBucket Total;
    std::map<std::uint32_t, TBucket> Sources;
};

} // namespace dplay
