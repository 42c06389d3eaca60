// How guaranteed messages reach every machine exactly once, also across a change of host.
//
// Every machine numbers its messages and keeps its guaranteed ones. Receivers take a guaranteed
// message only when its number is above the last they took from that player, and acknowledge
// to the host once a second. Along one host the messages meant for a machine reach it in order,
// so what it has from a player is always everything up to the number it acknowledges. The host
// works out, for each player, up to where every machine meant to have its messages has them,
// and tells the player's machine in its heartbeat, which then lets those go. When the host
// changes, each machine sends what it still keeps to the new host, which passes it on and
// keeps what is meant for machines that have yet to come back until they do.
#include "SessionCore.h"

#include <algorithm>
#include <set>

namespace dplay {

bool TSessionCore::Authentic(const TPlayer& From, const TData& Data) const {
    return TMachineIdentity::Verify(From.Key, Data.Signature, SignedData(Instance, Data));
}

bool TSessionCore::Take(TPlayer& From, const TData& Data) {
    std::uint32_t& last = Data.Guaranteed ? From.Got : From.GotPlain;
    if (Data.Seq <= last)
        return false;
    last = Data.Seq;
    AckDue = AckDue || Data.Guaranteed;
    return true;
}

void TSessionCore::Keep(TPlayer& Local, const TData& Data, std::vector<std::uint8_t> Bytes) {
    if (Role != TRole::Host && Role != TRole::Client && Role != TRole::Migrating)
        return;
    LogBytes += Bytes.size();
    Log.push_back({Local.Id, Data.Seq, std::move(Bytes)});
}

void TSessionCore::Resend(TConnId Conn) {
    for (const auto& k : Log)
        SendBytes(Conn, k.Bytes, true);
    if (Role == TRole::Host)
        for (const auto& k : Log) {
            auto& sent = Conns[Conn].SentUpTo[k.From];
            sent = std::max(sent, k.Seq);
        }
}

std::size_t TSessionCore::HeldBytes() const {
    std::size_t bytes = 0;
    for (const auto& [key, held] : Waiting)
        bytes += held.Bytes;
    return bytes;
}

// The new host keeps what it relays for each machine that has yet to come back. One that
// would need more than the limit could not be given all it missed, so it is not taken back.
void TSessionCore::Hold(const TData& Data, const std::vector<std::uint8_t>& Bytes) {
    std::set<TMachineKey> keys;
    for (const auto& p : Players)
        if (!p.Local && !p.Confirmed && p.Id != Data.From &&
            (Data.To == DPID_ALLPLAYERS || Data.To == p.Id))
            keys.insert(p.Key);
    for (const auto& key : keys) {
        THeld& held = Waiting[key];
        if (held.Bytes + Bytes.size() <= kMaxHeldBytes) {
            held.Bytes += Bytes.size();
            held.Messages.push_back(Bytes);
            continue;
        }
        Waiting.erase(key);
        std::vector<DPID> gone;
        for (const auto& p : Players)
            if (!p.Local && !p.Confirmed && p.Key == key)
                gone.push_back(p.Id);
        for (const DPID id : gone) {
            RemovePlayer(id);
            Announce(TPlayerRemoved{id}, 0);
        }
    }
}

std::vector<TMark> TSessionCore::Marks() const {
    std::vector<TMark> marks;
    for (const auto& p : Players)
        if (!p.Local && p.Got)
            marks.push_back({p.Id, p.Got});
    return marks;
}

void TSessionCore::Acknowledge(TConnId Conn, TConn& C, const TAck& Ack) {
    for (const auto& m : Ack.Received) {
        const TPlayer* p = FindPlayer(m.Player);
        if (!p || p->Owner == Conn)
            continue;
        auto& acked = C.Acked[m.Player];
        acked = std::max(acked, std::min(m.Seq, p->Got));
    }
}

// Up to where every machine meant to have P's messages has them. A machine that has
// acknowledged all that was sent to it has everything up to the last this host saw, since the
// rest was not meant for it.
std::uint32_t TSessionCore::Delivered(const TPlayer& P) const {
    std::uint32_t stable = P.Got;
    for (const auto& [id, c] : Conns) {
        if (!c.Up || !c.Joined || id == P.Owner || !OwnsPlayers(id))
            continue;
        const auto acked = c.Acked.find(P.Id);
        const auto sent = c.SentUpTo.find(P.Id);
        const std::uint32_t a = acked == c.Acked.end() ? 0 : acked->second;
        const std::uint32_t s = sent == c.SentUpTo.end() ? 0 : sent->second;
        stable = std::min(stable, a >= s ? P.Got : a);
    }
    return stable;
}

void TSessionCore::Trim(const TStable& Stable) {
    for (const auto& m : Stable.Delivered) {
        const TPlayer* p = FindPlayer(m.Player);
        if (!p || !p->Local)
            continue;
        std::erase_if(Log, [&](const TKept& K) {
            if (K.From != m.Player || K.Seq > m.Seq)
                return false;
            LogBytes -= K.Bytes.size();
            return true;
        });
    }
}

// While machines may still come back after a change of host, nobody knows what they have, so
// nothing is let go.
void TSessionCore::Beat(TTime Now) {
    if (Now < NextBeat)
        return;
    NextBeat = Now + kBeatTime;
    if (!GraceEnd) {
        TStable own;
        for (const auto& p : Players)
            if (p.Local)
                own.Delivered.push_back({p.Id, Delivered(p)});
        Trim(own);
    }
    ForJoined([&](TConnId c) {
        TStable beat;
        if (!GraceEnd)
            for (const auto& p : Players)
                if (p.Owner == c)
                    beat.Delivered.push_back({p.Id, Delivered(p)});
        TConn& conn = Conns[c];
        if (conn.Quiet || beat.Delivered != conn.Told) {
            conn.Told = beat.Delivered;
            SendTo(c, beat, false);
        }
        conn.Quiet = true;
    });
}

} // namespace dplay
