#pragma once
// How often the host answers session queries. A reply is larger than nothing, so a forged
// sender address must not turn the host into a flood, and many flooding addresses must not
// crowd out a player who searches now and then.
//
// Each address has a bucket that counts its queries (answered or not). One that asks faster
// than a search ever does is ignored for a while, and what it sends meanwhile costs the others
// nothing. Answers in all are bounded by a bucket of their own, part of which is kept for
// addresses that were seldom answered lately: a player's search every so often is, while an
// address that keeps asking just below its own limit is not. The table of addresses is
// bounded; an address is forgotten only once it carries nothing worth keeping (not ignored,
// both its buckets full again), so new addresses cannot push out anyone's state.
//
// Pure: the time is passed in; no clock, no sockets.

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <unordered_map>

namespace dplay {

class TQueryLimiter {
public:
    using TTime = std::chrono::steady_clock::time_point;

    // A search asks every 200 ms for up to a second and stops at the first answer: a player
    // who searches a few times in a row stays well inside this.
    static constexpr double kPerSourceRate = 1; // queries a second, sustained
    static constexpr double kBurst = 16;
    static constexpr std::chrono::seconds kIgnoreFor{30};
    static constexpr double kTotalRate = 100; // answers a second in all, and as many at once
    static constexpr double kReserve = 25;    // of those, kept for answers with priority
    // Answers with priority to one address: two searches in a row, then one every 4 s.
    static constexpr double kPriorityRate = 0.25;
    static constexpr double kPriorityBurst = 2;
    static constexpr std::size_t kMaxSources = 4096;

    // True when an answer to Source may go out at Now (and counts it). Times never go back.
    bool Allow(std::uint32_t Source, TTime Now) {
        Refill(Total, Now, kTotalRate, kTotalRate);
        TSource* s = Find(Source, Now);
        bool priority = false;
        if (s) {
            if (Now < s->IgnoredUntil)
                return false;
            Refill(s->Queries, Now, kPerSourceRate, kBurst);
            if (s->Queries.Tokens < 1) {
                // Its time served, it gets one query and a bucket that fills from there, so
                // an address that goes on flooding is ignored again at once.
                s->IgnoredUntil = Now + kIgnoreFor;
                s->Queries = {1, s->IgnoredUntil, true};
                return false;
            }
            s->Queries.Tokens -= 1;
            Refill(s->Priority, Now, kPriorityRate, kPriorityBurst);
            priority = s->Priority.Tokens >= 1;
        }
        if (Total.Tokens < 1 + (priority ? 0 : kReserve))
            return false;
        Total.Tokens -= 1;
        if (priority)
            s->Priority.Tokens -= 1;
        return true;
    }

    std::size_t TrackedSources() const { return Sources.size(); }

private:
    struct TBucket {
        double Tokens = 0;
        TTime Last{};
        bool Started = false;
    };
    struct TSource {
        TBucket Queries;
        TBucket Priority;
        TTime IgnoredUntil{};
    };

    static void Refill(TBucket& B, TTime Now, double Rate, double Capacity) {
        if (!B.Started) {
            B = {Capacity, Now, true};
            return;
        }
        const double seconds = std::chrono::duration<double>(Now - B.Last).count();
        if (seconds > 0) {
            B.Tokens = std::min(Capacity, B.Tokens + seconds * Rate);
            B.Last = Now;
        }
    }
    static bool Full(const TBucket& B, TTime Now, double Rate, double Capacity) {
        const double idle = std::chrono::duration<double>(Now - B.Last).count();
        return B.Tokens + idle * Rate >= Capacity;
    }
    // Nothing to remember: not ignored, both its buckets full again.
    static bool Forgettable(const TSource& S, TTime Now) {
        return Now >= S.IgnoredUntil && Full(S.Queries, Now, kPerSourceRate, kBurst) &&
               Full(S.Priority, Now, kPriorityRate, kPriorityBurst);
    }

    // The entry of Source, made when there is room; nullptr when the table is full of
    // addresses that still matter (Source is then answered from the unreserved part only).
    TSource* Find(std::uint32_t Source, TTime Now) {
        if (auto it = Sources.find(Source); it != Sources.end())
            return &it->second;
        if (Sources.size() >= kMaxSources && Now >= NextSweep) {
            std::erase_if(Sources, [&](const auto& e) { return Forgettable(e.second, Now); });
            // A sweep walks the whole table: at most one a second, whatever arrives.
            NextSweep = Now + std::chrono::seconds(1);
        }
        if (Sources.size() >= kMaxSources)
            return nullptr;
        TSource& s = Sources[Source];
        s.Queries = {kBurst, Now, true};
        s.Priority = {kPriorityBurst, Now, true};
        return &s;
    }

    TBucket Total;
    std::unordered_map<std::uint32_t, TSource> Sources;
    TTime NextSweep{};
};

} // namespace dplay
