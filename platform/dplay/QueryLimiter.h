#pragma once
// How often the host answers session queries. A reply is larger than nothing, so a forged
// sender address must not turn the host into a flood, and many flooding addresses must not
// crowd out a player who searches now and then.
//
// What is charged is a search, not a datagram. A search sends its query again every 200 ms,
// with the same nonce, until it is answered or its time is up; a datagram that repeats the
// address's current nonce at no more than that pace costs the address nothing, so a searcher
// whose query or answer was lost is never ignored for trying again. Each search is answered
// once: a repeat after the answer gets nothing, so repeating one nonce earns a flooder no more
// answers than asking anew would, and asking anew is what the address's bucket counts.
//
// Each address's bucket counts its searches (answered or not). One that asks faster than a
// player ever searches is ignored for a while, and what it sends meanwhile costs the others
// nothing. An address that stays just below its own rate looks exactly like a player searching
// once a second and cannot be told apart from one, so the answers in all are sized for several
// hundred such addresses at once (kTotalRate), and that total still bounds what the host sends:
// 400 answers of at most 312 bytes is about 125 KB a second, never more than twice what the
// askers spent. Part of the total is kept for addresses that were seldom answered lately,
// which is what a player's search every so often is, for when even that is not enough. The
// table of addresses is bounded; an address is forgotten only once it carries nothing worth
// keeping (not ignored, both its buckets full again), so new addresses cannot push out anyone's
// state.
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

    // A player who searches once a second, or a few times in a row, stays inside this.
    static constexpr double kPerSourceRate = 1; // searches a second, sustained
    static constexpr double kBurst = 8;
    static constexpr std::chrono::seconds kIgnoreFor{30};
    static constexpr double kTotalRate = 400; // answers a second in all, and as many at once
    static constexpr double kReserve = 100;   // of those, kept for answers with priority
    // Answers with priority to one address: two searches in a row, then one every 4 s.
    static constexpr double kPriorityRate = 0.25;
    static constexpr double kPriorityBurst = 2;
    // A search sends again every 200 ms and lasts at most 10 s; repeats that come closer
    // together than kResendGap (arrival jitter allowed for) are charged as new searches.
    static constexpr std::chrono::milliseconds kResendGap{100};
    static constexpr std::chrono::seconds kLongestSearch{11};
    static constexpr std::size_t kMaxSources = 4096;

    // True when an answer to the query Nonce from Source may go out at Now (and counts it).
    // Times never go back.
    bool Allow(std::uint32_t Source, std::uint32_t Nonce, TTime Now) {
        Refill(Total, Now, kTotalRate, kTotalRate);
        TSource* s = Find(Source, Now);
        bool priority = false;
        if (s) {
            if (Now < s->IgnoredUntil)
                return false;
            const bool repeat = s->Searching && Nonce == s->Nonce && Now < s->SearchEnd &&
                                Now - s->LastSend >= kResendGap;
            s->LastSend = Now;
            if (repeat && s->Answered)
                return false;
            if (!repeat) {
                Refill(s->Queries, Now, kPerSourceRate, kBurst);
                if (s->Queries.Tokens < 1) {
                    // Its time served, it gets one search and a bucket that fills from
                    // there, so an address that goes on flooding is ignored again at once.
                    s->IgnoredUntil = Now + kIgnoreFor;
                    s->Queries = {1, s->IgnoredUntil, true};
                    s->Searching = false;
                    return false;
                }
                s->Queries.Tokens -= 1;
                s->Searching = true;
                s->Nonce = Nonce;
                s->SearchEnd = Now + kLongestSearch;
                s->Answered = false;
            }
            Refill(s->Priority, Now, kPriorityRate, kPriorityBurst);
            priority = s->Priority.Tokens >= 1;
        }
        if (Total.Tokens < 1 + (priority ? 0 : kReserve))
            return false;
        Total.Tokens -= 1;
        if (s) {
            s->Answered = true;
            if (priority)
                s->Priority.Tokens -= 1;
        }
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
        // The search in progress: its nonce, when it ends, the last datagram seen of it.
        bool Searching = false;
        bool Answered = false;
        std::uint32_t Nonce = 0;
        TTime SearchEnd{};
        TTime LastSend{};
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
    // Nothing to remember: not ignored, both its buckets full again. A search in progress may
    // go with it; its next repeat is then charged as a new search, which a full bucket covers.
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
