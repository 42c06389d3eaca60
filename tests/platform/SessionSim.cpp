#include "tests/platform/SessionSim.h"

#include <arpa/inet.h>

#include <algorithm>
#include <sstream>

namespace sessionsim {

namespace {

constexpr GUID kApp{0x5EA5, 0x1, 0x2, {3, 4, 5, 6, 7, 8, 9, 10}};
constexpr GUID kInstance{0x1A57, 0xB, 0xC, {1, 1, 2, 3, 5, 8, 13, 21}};
constexpr TMs kTick{20}; // the node's loop wakes at least this often

} // namespace

std::vector<DPID> TMachine::Own() const {
    std::vector<DPID> ids;
    for (const auto& p : Shown)
        if (p.Local)
            ids.push_back(p.Id);
    return ids;
}

TSim::TSim(std::uint32_t Seed, TLinkPlan APlan)
    : Rng(Seed), Plan(APlan), Clock(TTime{} + std::chrono::hours(1)) {
    Schedule(Clock + kTick, [this] { Tick(); });
}

TMachine& TSim::Add(std::optional<TAddress> Address) {
    auto m = std::make_unique<TMachine>();
    m->Index = static_cast<int>(Machines.size());
    m->Address = Address ? *Address
                         : TAddress{htonl(0x7F000001), static_cast<std::uint16_t>(5000 + m->Index)};
    dplay::TMachineKey seed;
    for (auto& b : seed)
        b = static_cast<std::uint8_t>(Rng());
    m->Core = std::make_unique<dplay::TSessionCore>(seed);
    Machines.push_back(std::move(m));
    return *Machines.back();
}

void TSim::Schedule(TTime At, std::function<void()> Do) {
    Events.push({At, Seq++, std::move(Do)});
}

void TSim::Run(TMs For) {
    RunUntil([] { return false; }, For);
}

bool TSim::RunUntil(const std::function<bool()>& Done, TMs For) {
    const TTime end = Clock + For;
    while (!Events.empty() && Events.top().At <= end) {
        if (Done())
            return true;
        auto event = Events.top();
        Events.pop();
        Clock = std::max(Clock, event.At);
        event.Do();
    }
    Clock = end;
    return Done();
}

void TSim::Tick() {
    for (auto& m : Machines)
        if (m->Alive) {
            m->Core->Tick(Clock);
            Apply(m->Index);
        }
    Schedule(Clock + kTick, [this] { Tick(); });
}

TMs TSim::OneWay() {
    std::uniform_int_distribution<long> jitter(0, Plan.Jitter.count());
    return Plan.Delay + TMs(jitter(Rng));
}

bool TSim::Severed(const TEnd& A, const TEnd& B) const {
    if (A.Machine < 0 || B.Machine < 0)
        return false;
    return CutSide.count(A.Machine) != CutSide.count(B.Machine);
}

std::size_t TSim::LinkOf(int Machine, TConnId Conn) const {
    for (std::size_t i = 0; i < Links.size(); ++i) {
        const auto& l = Links[i];
        if ((l.A.Machine == Machine && l.A.Conn == Conn) ||
            (l.B.Machine == Machine && l.B.Conn == Conn))
            return i;
    }
    return Links.size();
}

void TSim::Apply(int Machine) {
    TMachine& m = At(Machine);
    for (auto actions = m.Core->TakeActions(); !actions.empty(); actions = m.Core->TakeActions())
        for (auto& a : actions)
            Carry(Machine, a);
}

void TSim::Carry(int Machine, dplay::TAction& Action) {
    TMachine& m = At(Machine);
    if (auto* s = std::get_if<dplay::TSendAction>(&Action)) {
        const std::size_t l = LinkOf(Machine, s->Conn);
        if (m.Muted) {
            if (s->Reliable)
                m.Core->Released(s->Conn, s->Origin, s->Bytes.size());
        } else if (l < Links.size()) {
            Deliver(l, Links[l].A.Machine == Machine && Links[l].A.Conn == s->Conn ? 0 : 1,
                    std::move(s->Bytes), s->Reliable, s->Origin);
        } else if (s->Reliable) {
            m.Core->Released(s->Conn, s->Origin, s->Bytes.size());
        }
    } else if (auto* c = std::get_if<dplay::TConnectAction>(&Action)) {
        const std::size_t l = Links.size();
        TLink link;
        link.A = {Machine, c->Conn, nullptr};
        for (auto& other : Machines)
            if (other->Address == c->To || other->RelayAt == c->To)
                link.B.Machine = other->Index;
        Links.push_back(link);
        const bool reachable =
            link.B.Machine >= 0 && At(link.B.Machine).Alive && !Severed(link.A, link.B);
        if (!reachable) {
            EndLink(l, 0, Clock + Plan.Timeout);
            return;
        }
        Schedule(Clock + OneWay(), [this, l] {
            const TLink& k = Links[l];
            if (k.Gone || !k.A.Conn)
                return;
            TMachine& target = At(k.B.Machine);
            if (!target.Alive || Severed(k.A, k.B))
                return EndLink(l, 0, Clock + Plan.Timeout);
            const TMachine& from = At(k.A.Machine);
            const TConnId accepted = target.Core->Accept(from.SeenAs.value_or(from.Address), Clock);
            Links[l].B.Conn = accepted;
            if (!accepted) {
                Apply(target.Index);
                return EndLink(l, 0, Clock + OneWay());
            }
            Links[l].Up = true;
            // As with ENet, the opener hears that it is connected before anything sent to it.
            const TTime connectedAt = Clock + OneWay();
            Links[l].LastReliable[1] = connectedAt + TMs(1);
            Schedule(connectedAt, [this, l] {
                TLink& u = Links[l];
                if (!u.Gone && At(u.A.Machine).Alive) {
                    At(u.A.Machine).Core->Connected(u.A.Conn, Clock);
                    Apply(u.A.Machine);
                }
            });
            Apply(target.Index); // may add links: k is not to be used after this
        });
    } else if (auto* c = std::get_if<dplay::TCloseAction>(&Action)) {
        const std::size_t l = LinkOf(Machine, c->Conn);
        if (l == Links.size())
            return;
        TLink& k = Links[l];
        const int side = k.A.Machine == Machine && k.A.Conn == c->Conn ? 0 : 1;
        if (c->Immediately) {
            (side == 0 ? k.A : k.B).Conn = 0; // the core has forgotten it: no word back
            EndLink(l, 1 - side, Clock + Plan.Timeout);
        } else {
            // After what is queued on the way out, both ends hear the goodbye.
            const TTime after = std::max(Clock, k.LastReliable[side]) + OneWay();
            EndLink(l, 0, after);
            EndLink(l, 1, after);
        }
    } else if (auto* p = std::get_if<dplay::TShowPlayerAction>(&Action)) {
        m.Shown.push_back(p->Player);
    } else if (auto* h = std::get_if<dplay::THidePlayerAction>(&Action)) {
        std::erase_if(m.Shown, [&](const dplay::TPlayerView& v) { return v.Id == h->Id; });
    } else if (auto* q = std::get_if<dplay::TPostAction>(&Action)) {
        m.Seen.push_back({q->Message.From, q->Message.To, q->Message.SysType, q->Message.PlayerId,
                          q->Message.Data});
    } else if (auto* j = std::get_if<dplay::TJoinDoneAction>(&Action)) {
        m.JoinResult = j->Result;
    } else if (auto* d = std::get_if<dplay::TPlayerDoneAction>(&Action)) {
        m.Players[d->Request] = {d->Result, d->Id};
    } else if (auto* o = std::get_if<dplay::TQuerySocketAction>(&Action)) {
        m.QueryOpen = o->Open;
    }
}

void TSim::Deliver(std::size_t L, int Direction, std::vector<std::uint8_t> Bytes, bool Reliable,
                   TConnId Origin) {
    TLink& k = Links[L];
    std::uniform_real_distribution<double> chance(0, 1);
    if (!Reliable) {
        if (Severed(k.A, k.B) || chance(Rng) < Plan.Loss)
            return;
        const int copies = chance(Rng) < Plan.Duplicate ? 2 : 1;
        for (int i = 0; i < copies; ++i)
            Schedule(Clock + OneWay(), [this, L, Direction, Bytes] {
                if (Receiver(L, Direction))
                    Hand(L, Direction, Bytes);
            });
        return;
    }
    TMs delay = OneWay();
    while (chance(Rng) < Plan.Loss)
        delay += Plan.Resend; // ENet sends it again until it gets through
    const TTime due = std::max(Clock + delay, k.LastReliable[Direction]);
    k.LastReliable[Direction] = due;
    k.Queue[Direction].push_back({due, std::move(Bytes), Origin});
    Schedule(due, [this, L, Direction] { Pump(L, Direction); });
}

bool TSim::Receiver(std::size_t L, int Direction) const {
    const TLink& u = Links[L];
    const TEnd& to = Direction == 0 ? u.B : u.A;
    return !u.Gone && to.Conn && !Severed(u.A, u.B) &&
           (to.Raw || (At(to.Machine).Alive && !At(to.Machine).Stalled));
}

// Guaranteed messages leave their queue in order; across a cut they wait for the link.
void TSim::Pump(std::size_t L, int Direction) {
    while (!Links[L].Queue[Direction].empty() && Links[L].Queue[Direction].front().Due <= Clock) {
        TLink& u = Links[L];
        const TEnd& to = Direction == 0 ? u.B : u.A;
        if (u.Gone || !to.Conn) {
            auto dropped = std::move(u.Queue[Direction]);
            u.Queue[Direction].clear();
            for (const auto& q : dropped)
                Release(L, Direction, q);
            return;
        }
        if (Severed(u.A, u.B) || (to.Machine >= 0 && At(to.Machine).Stalled)) {
            Schedule(Clock + Plan.Resend, [this, L, Direction] { Pump(L, Direction); });
            return;
        }
        auto sent = std::move(u.Queue[Direction].front());
        u.Queue[Direction].pop_front();
        Release(L, Direction, sent);
        if (Receiver(L, Direction))
            Hand(L, Direction, sent.Bytes);
    }
}

// The sender's transport lets go of a guaranteed message once it is through (or never will be).
void TSim::Release(std::size_t L, int Direction, const TLink::TQueued& Sent) {
    const TEnd& from = Direction == 0 ? Links[L].A : Links[L].B;
    if (from.Machine >= 0 && from.Conn)
        At(from.Machine).Core->Released(from.Conn, Sent.Origin, Sent.Bytes.size());
}

void TSim::Hand(std::size_t L, int Direction, const std::vector<std::uint8_t>& Bytes) {
    const TEnd to = Direction == 0 ? Links[L].B : Links[L].A;
    if (to.Raw) {
        if (auto packet = dplay::DecodePacket(Bytes))
            to.Raw->Got.push_back(*packet);
        return;
    }
    if (const auto packet = dplay::DecodePacket(Bytes)) {
        if (const auto* data = std::get_if<dplay::TData>(&*packet)) {
            const auto own = At(to.Machine).Own();
            EchoCount += std::count(own.begin(), own.end(), data->From) > 0;
        }
        if (Tap)
            Tap((Direction == 0 ? Links[L].A : Links[L].B).Machine, to.Machine, *packet);
    }
    At(to.Machine).Core->Received(to.Conn, Bytes, Clock);
    Apply(to.Machine);
}

// The end Side of the link hears at At that the connection is over (once).
void TSim::EndLink(std::size_t L, int Side, TTime When) {
    Schedule(When, [this, L, Side] {
        TLink& k = Links[L];
        TEnd& end = Side == 0 ? k.A : k.B;
        const TConnId conn = std::exchange(end.Conn, 0);
        if (!(k.A.Conn || k.B.Conn))
            k.Gone = true;
        if (!conn)
            return;
        if (end.Raw) {
            end.Raw->Closed = true;
            return;
        }
        if (end.Machine >= 0 && At(end.Machine).Alive) {
            At(end.Machine).Core->Disconnected(conn, Clock);
            Apply(end.Machine);
        }
        // The other end, if it still thinks it is connected, times out unless it hears a
        // goodbye of its own.
    });
}

void TSim::Create(int Machine, DWORD MaxPlayers, DWORD Flags) {
    dplay::TCreateConfig config;
    config.Application = kApp;
    config.Instance = kInstance;
    config.Flags = Flags;
    config.MaxPlayers = MaxPlayers;
    config.Name = "sim";
    At(Machine).Core->Create(config, At(Machine).Address.Port, Clock);
    At(Machine).QueryOpen = true;
    Apply(Machine);
}

void TSim::Join(int Machine, int Host) {
    At(Machine).JoinResult.reset();
    At(Machine).Core->Join(At(Host).Address, At(Machine).Address, kApp, kInstance, Clock);
    Apply(Machine);
}

void TSim::JoinAt(int Machine, TAddress Host, std::optional<TAddress> Relay) {
    At(Machine).JoinResult.reset();
    At(Machine).Core->Join(Host, At(Machine).Address, kApp, kInstance, Clock, Relay);
    Apply(Machine);
}

std::uint32_t TSim::CreatePlayer(int Machine, const std::string& Name) {
    const std::uint32_t request = NextRequest++;
    At(Machine).Core->CreatePlayer(request, Name, Name, Clock);
    Apply(Machine);
    return request;
}

HRESULT TSim::Send(int Machine, DPID From, DPID To, bool Guaranteed,
                   std::vector<std::uint8_t> Data) {
    const HRESULT hr = At(Machine).Core->Send(From, To, Guaranteed, std::move(Data), Clock);
    Apply(Machine);
    return hr;
}

void TSim::Forwarded(int Machine) {
    At(Machine).Core->Reachable(At(Machine).Address, Clock);
    Apply(Machine);
}

void TSim::Leave(int Machine) {
    At(Machine).Left = true;
    At(Machine).Core->Leave(Clock);
    Apply(Machine);
}

void TSim::Vanish(int Machine) {
    At(Machine).Alive = false;
    std::uniform_int_distribution<long> spread(-Plan.Timeout.count() / 4, Plan.Timeout.count() / 4);
    for (std::size_t l = 0; l < Links.size(); ++l) {
        TLink& k = Links[l];
        // What it was still sending again, or had not sent yet, never comes: only datagrams
        // already on their way arrive.
        for (int from = 0; from < 2; ++from)
            if ((from == 0 ? k.A : k.B).Machine == Machine)
                std::erase_if(k.Queue[from], [&](const TLink::TQueued& Q) {
                    return Q.Due > Clock + Plan.Delay + Plan.Jitter;
                });
        if (k.A.Machine == Machine)
            EndLink(l, 1, Clock + Plan.Timeout + TMs(spread(Rng)));
        if (k.B.Machine == Machine)
            EndLink(l, 0, Clock + Plan.Timeout + TMs(spread(Rng)));
    }
}

void TSim::Mute(int Machine) {
    At(Machine).Muted = true;
}

void TSim::Cut(const std::set<int>& Side) {
    CutSide = Side;
    const auto cutAt = Clock;
    // A connection across the cut that stays unheard for the time-out ends, at each side in
    // its own time.
    for (std::size_t l = 0; l < Links.size(); ++l) {
        if (!Severed(Links[l].A, Links[l].B))
            continue;
        for (int side = 0; side < 2; ++side) {
            std::uniform_int_distribution<long> spread(0, Plan.Timeout.count() / 4);
            Schedule(cutAt + Plan.Timeout + TMs(spread(Rng)), [this, l, side] {
                if (Severed(Links[l].A, Links[l].B))
                    EndLink(l, side, Clock);
            });
        }
    }
}

void TSim::Heal() {
    CutSide.clear();
}

TSim::TRaw& TSim::RawConnect(int Target, TAddress From) {
    Raws.push_back(std::make_unique<TRaw>());
    TRaw& raw = *Raws.back();
    TLink link;
    link.A = {-1, 1, &raw};
    link.B.Machine = Target;
    link.B.Conn = At(Target).Core->Accept(From, Clock);
    raw.Conn = link.B.Conn;
    link.Up = raw.Conn != 0;
    if (!raw.Conn) {
        link.A.Conn = 0;
        link.Gone = true;
        raw.Closed = true;
    }
    Links.push_back(link);
    Apply(Target);
    return raw;
}

void TSim::RawSend(TRaw& Raw, const std::vector<std::uint8_t>& Bytes, bool Reliable) {
    for (std::size_t l = 0; l < Links.size(); ++l)
        if (Links[l].A.Raw == &Raw)
            return Deliver(l, 0, Bytes, Reliable);
}

void TSim::Inject(int From, int To, const std::vector<std::uint8_t>& Bytes) {
    for (std::size_t l = Links.size(); l-- > 0;) { // the newest connection between them
        const TLink& k = Links[l];
        if (k.Gone || !k.A.Conn || !k.B.Conn)
            continue;
        if (k.A.Machine == From && k.B.Machine == To)
            return Deliver(l, 0, Bytes, true);
        if (k.B.Machine == From && k.A.Machine == To)
            return Deliver(l, 1, Bytes, true);
    }
}

std::size_t TSim::Connections(int Machine) const {
    return static_cast<std::size_t>(std::count_if(Links.begin(), Links.end(), [&](const TLink& l) {
        return (l.A.Machine == Machine && l.A.Conn) || (l.B.Machine == Machine && l.B.Conn);
    }));
}

std::string TSim::Describe() const {
    std::ostringstream out;
    for (const auto& m : Machines) {
        out << "machine " << m->Index << (m->Alive ? "" : " (gone)")
            << (m->Core->IsHost() ? " host" : "") << ": players";
        for (const auto& p : m->Shown)
            out << ' ' << p.Id << (p.Local ? "*" : "");
        out << '\n';
    }
    return out.str();
}

} // namespace sessionsim
