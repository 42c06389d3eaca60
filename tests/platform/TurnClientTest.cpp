// The relay client against a scripted relay on a network that loses, duplicates and reorders,
// with time simulated: whatever the network does, the relay must never see the allocation, a
// permission or a channel lapse while the client thinks it holds them.
#include "platform/dplay/TurnClient.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>

#include <map>
#include <random>

using namespace dplay;
using namespace std::chrono_literals;

namespace {

using TBytes = std::vector<std::uint8_t>;

std::uint32_t Ip(const char* Text) {
    in_addr a{};
    inet_pton(AF_INET, Text, &a);
    return a.s_addr;
}

const TStunAddress kRelayAt{Ip("192.0.2.10"), 3478};
const TStunAddress kRelayed{Ip("192.0.2.10"), 50000};
const TStunAddress kClientSeen{Ip("203.0.113.5"), 40000};
const TStunAddress kPeer{Ip("198.51.100.7"), 29541};

// Just enough of a relay to hold an allocation for one user and say when it would lapse.
struct TFakeRelay {
    std::string Password = "right";
    int StaleNonces = 0; // authenticated requests answered 438 before any is taken
    std::uint16_t AllocateError = 0;
    bool Silent = false;
    std::chrono::seconds NonceLife{0}; // 0: nonces never go stale

    TTurnTime AllocationEnds{};
    TStunTransactionId AllocatedBy{};
    std::map<TStunAddress, TTurnTime> PermissionEnds;
    std::map<std::uint16_t, std::pair<TStunAddress, TTurnTime>> Channels;
    std::vector<TTurnDelivery> Relayed; // what the client sent on to peers
    std::string Nonce = "nonce0";
    TTurnTime NonceBorn{};

    std::vector<TBytes> Answer(std::span<const std::uint8_t> Bytes, TTurnTime Now) {
        if (Silent)
            return {};
        if (const auto cd = DecodeChannelData(Bytes)) {
            const auto c = Channels.find(cd->Channel);
            if (c != Channels.end() && c->second.second > Now)
                Relayed.push_back({c->second.first, {cd->Payload.begin(), cd->Payload.end()}});
            return {};
        }
        const auto m = DecodeStun(Bytes);
        if (!m)
            return {};
        if (m->Class == TStunClass::Indication && m->Method == TStunMethod::Send) {
            if (m->XorPeer && m->Data && PermissionEnds[*m->XorPeer] > Now)
                Relayed.push_back({*m->XorPeer, *m->Data});
            return {};
        }
        TStunMessage r;
        r.Method = m->Method;
        r.Id = m->Id;
        r.Class = TStunClass::Error;
        const auto refuse = [&](std::uint16_t Code) {
            r.Error = TStunError{Code, "no"};
            if (Code == 401 || Code == 438) {
                r.Realm = "lab";
                r.Nonce = Nonce;
            }
            return std::vector<TBytes>{EncodeStun(r)};
        };
        if (!m->HasIntegrity || !m->Username || !m->Realm)
            return refuse(401);
        const TStunKey key = LongTermKey(*m->Username, "lab", Password);
        if (!CheckStunIntegrity(Bytes, key))
            return refuse(401);
        if (NonceLife.count() && Now - NonceBorn >= NonceLife) {
            Nonce = "nonce" + std::to_string(Now.time_since_epoch().count());
            NonceBorn = Now;
        }
        if (StaleNonces > 0 || m->Nonce != Nonce) {
            if (StaleNonces > 0)
                --StaleNonces;
            Nonce += "+";
            return refuse(438);
        }
        const bool allocated = AllocationEnds > Now;
        switch (m->Method) {
        case TStunMethod::Allocate:
            if (AllocateError)
                return refuse(AllocateError);
            if (allocated && AllocatedBy != m->Id)
                return refuse(437);
            AllocatedBy = m->Id;
            AllocationEnds = Now + 600s;
            r.XorRelayed = kRelayed;
            r.XorMapped = kClientSeen;
            r.Lifetime = 600;
            break;
        case TStunMethod::Refresh:
            if (!allocated)
                return refuse(437);
            r.Lifetime = m->Lifetime.value_or(600);
            AllocationEnds = Now + std::chrono::seconds(*r.Lifetime);
            break;
        case TStunMethod::CreatePermission:
            PermissionEnds[m->XorPeer.value()] = Now + 300s;
            break;
        case TStunMethod::ChannelBind:
            Channels[m->Channel.value()] = {m->XorPeer.value(), Now + 600s};
            PermissionEnds[*m->XorPeer] = Now + 300s;
            break;
        default:
            return refuse(400);
        }
        r.Class = TStunClass::Success;
        return {EncodeStun(r, key)};
    }
};

// The client and the relay joined by a network that loses and duplicates datagrams and
// delays each by 10 to 80 ms, so that they also overtake one another.
struct TRig {
    explicit TRig(std::uint32_t Seed, std::string Password = "right")
        : Client(kRelayAt, {"1700000000:marevo", std::move(Password)}), Random(Seed) {}

    TFakeRelay Relay;
    TTurnClient Client;
    std::mt19937 Random;
    double Loss = 0;
    double Duplicate = 0;
    TTurnTime Now = TTurnTime{} + 1h;
    struct TInFlight {
        TTurnTime At;
        bool ToRelay;
        TBytes Bytes;
    };
    std::vector<TInFlight> Wire;
    std::vector<TTurnDelivery> Delivered;

    bool Chance(double P) { return std::uniform_real_distribution<>(0, 1)(Random) < P; }
    void Carry(const TBytes& Bytes, bool ToRelay) {
        if (Chance(Loss))
            return;
        for (int copies = Chance(Duplicate) ? 2 : 1; copies > 0; --copies)
            Wire.push_back({Now + std::chrono::milliseconds(10 + Random() % 70), ToRelay, Bytes});
    }
    void FromClient() {
        for (const TBytes& d : Client.TakeDatagrams())
            Carry(d, true);
    }
    void Step(std::chrono::milliseconds By) {
        Now += By;
        Client.Tick(Now);
        FromClient();
        for (;;) {
            const auto due = std::find_if(Wire.begin(), Wire.end(),
                                          [&](const TInFlight& F) { return F.At <= Now; });
            if (due == Wire.end())
                break;
            const TInFlight f = std::move(*due);
            Wire.erase(due);
            if (f.ToRelay) {
                for (const TBytes& a : Relay.Answer(f.Bytes, Now))
                    Carry(a, false);
            } else if (auto d = Client.Received(f.Bytes, kRelayAt, Now)) {
                Delivered.push_back(std::move(*d));
            }
            FromClient();
        }
    }
    template <typename F> void RunFor(std::chrono::milliseconds Span, F&& Check) {
        for (const TTurnTime end = Now + Span; Now < end;) {
            Step(20ms);
            Check();
        }
    }
    void RunFor(std::chrono::milliseconds Span) {
        RunFor(Span, [] {});
    }
};

TEST(TurnClient, HoldsTheAllocationWhateverTheNetworkDoes) {
    const struct {
        std::uint32_t Seed;
        double Loss, Duplicate;
    } cases[] = {{1, 0, 0}, {2, 0.1, 0}, {3, 0, 0.3}, {4, 0.1, 0.2}, {5, 0.05, 0.5}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Seed);
        TRig rig(c.Seed);
        rig.Loss = c.Loss;
        rig.Duplicate = c.Duplicate;
        rig.Relay.NonceLife = 7min;
        rig.Client.Start(rig.Now);
        ASSERT_TRUE(rig.Client.AddPeer(kPeer, rig.Now)); // before the allocation: kept till then
        int lapses = 0;
        rig.RunFor(25min, [&] {
            const TTurnTime now = rig.Now;
            if (rig.Client.State() == TTurnClient::TState::Allocated &&
                rig.Relay.AllocationEnds <= now)
                ++lapses;
            if (rig.Client.ChannelBound(kPeer)) {
                const auto c = rig.Relay.Channels.begin();
                if (c == rig.Relay.Channels.end() || c->second.second <= now ||
                    rig.Relay.PermissionEnds[kPeer] <= now)
                    ++lapses;
            }
        });
        EXPECT_EQ(lapses, 0);
        ASSERT_EQ(rig.Client.State(), TTurnClient::TState::Allocated) << rig.Client.FailureText();
        EXPECT_EQ(rig.Client.Relayed(), kRelayed);
        EXPECT_EQ(rig.Client.Mapped(), kClientSeen);
        EXPECT_TRUE(rig.Client.ChannelBound(kPeer));
        EXPECT_EQ(rig.Relay.Channels.size(), 1u);
    }
}

TEST(TurnClient, EndsAsTheRelayAnswers) {
    const struct {
        const char* What;
        std::string Password;
        int StaleNonces;
        std::uint16_t AllocateError;
        bool Silent;
        TTurnClient::TState State;
        TTurnFailure Failure;
    } cases[] = {
        {"taken", "right", 0, 0, false, TTurnClient::TState::Allocated, TTurnFailure::None},
        {"wrong password", "wrong", 0, 0, false, TTurnClient::TState::Failed,
         TTurnFailure::CredentialsRefused},
        {"nonce stale twice", "right", 2, 0, false, TTurnClient::TState::Allocated,
         TTurnFailure::None},
        {"nonce always stale", "right", 100, 0, false, TTurnClient::TState::Failed,
         TTurnFailure::ServerError},
        {"quota reached", "right", 0, 486, false, TTurnClient::TState::Failed,
         TTurnFailure::ServerError},
        {"silent", "right", 0, 0, true, TTurnClient::TState::Failed, TTurnFailure::Unreachable},
    };
    for (const auto& c : cases) {
        TRig rig(1, c.Password);
        rig.Relay.StaleNonces = c.StaleNonces;
        rig.Relay.AllocateError = c.AllocateError;
        rig.Relay.Silent = c.Silent;
        rig.Client.Start(rig.Now);
        rig.RunFor(6s);
        EXPECT_EQ(rig.Client.State(), c.State) << c.What;
        EXPECT_EQ(rig.Client.Failure(), c.Failure) << c.What;
    }
}

TEST(TurnClient, GivesUpOnASilentRelayAfterBackingOff) {
    TTurnClient client(kRelayAt, {"u", "p"});
    TTurnTime now{};
    client.Start(now);
    std::vector<std::chrono::milliseconds> sent;
    while (client.State() == TTurnClient::TState::Allocating) {
        for (std::size_t n = client.TakeDatagrams().size(); n > 0; --n)
            sent.push_back(
                std::chrono::duration_cast<std::chrono::milliseconds>(now - TTurnTime{}));
        now = client.NextWake().value();
        client.Tick(now);
    }
    EXPECT_EQ(sent, (std::vector<std::chrono::milliseconds>{0ms, 250ms, 750ms, 1750ms, 3750ms}));
    EXPECT_EQ(now, TTurnTime{} + TTurnClient::kGiveUp);
    EXPECT_EQ(client.Failure(), TTurnFailure::Unreachable);
}

// What only an attacker or a confused network sends: answers from elsewhere, answers to
// nothing asked, a success the relay did not sign, and a real answer that comes late.
TEST(TurnClient, IgnoresAnswersItShouldNotTrust) {
    TFakeRelay relay;
    TTurnClient client(kRelayAt, {"1700000000:marevo", "right"});
    TTurnTime now{};
    client.Start(now);
    const TBytes first = client.TakeDatagrams().at(0);
    const TBytes challenge = relay.Answer(first, now).at(0);
    ASSERT_FALSE(client.Received(challenge, kRelayAt, now));
    const TBytes authenticated = client.TakeDatagrams().at(0);

    auto forged = DecodeStun(authenticated).value();
    forged.Class = TStunClass::Success;
    forged.Username.reset();
    forged.XorRelayed = kPeer;
    const TBytes unsigned_ = EncodeStun(forged);
    const TBytes answer = relay.Answer(authenticated, now).at(0);
    const TStunAddress elsewhere{kRelayAt.Ip, 3479};
    for (const TBytes* b : {&unsigned_, &answer, &challenge}) {
        client.Received(*b, b == &answer ? elsewhere : kRelayAt, now);
        EXPECT_EQ(client.State(), TTurnClient::TState::Allocating);
    }
    EXPECT_TRUE(client.TakeDatagrams().empty());

    client.Received(answer, kRelayAt, now);
    ASSERT_EQ(client.State(), TTurnClient::TState::Allocated);
    EXPECT_EQ(client.Relayed(), kRelayed);
    // The same answer again, and the first challenge once more, long after.
    now += 3s;
    client.Received(answer, kRelayAt, now);
    client.Received(challenge, kRelayAt, now);
    EXPECT_EQ(client.State(), TTurnClient::TState::Allocated);
    EXPECT_TRUE(client.TakeDatagrams().empty());
}

TEST(TurnClient, CarriesDatagramsBothWays) {
    TRig rig(7);
    rig.Client.Start(rig.Now);
    rig.RunFor(1s);
    ASSERT_EQ(rig.Client.State(), TTurnClient::TState::Allocated);
    const TBytes ping{'p', 'i', 'n', 'g'};
    EXPECT_TRUE(rig.Client.Wrap(kPeer, ping).empty()); // not added: nothing to send it by
    rig.Client.AddPeer(kPeer, rig.Now);
    rig.FromClient();
    rig.Carry(rig.Client.Wrap(kPeer, ping), true); // as a Send indication, behind the permission
    rig.RunFor(1s);
    ASSERT_TRUE(rig.Client.ChannelBound(kPeer));
    rig.Carry(rig.Client.Wrap(kPeer, ping), true);
    rig.RunFor(1s);
    ASSERT_EQ(rig.Relay.Relayed.size(), 2u);
    for (const TTurnDelivery& d : rig.Relay.Relayed) {
        EXPECT_EQ(d.Peer, kPeer);
        EXPECT_EQ(d.Payload, ping);
    }

    const std::uint16_t channel = rig.Relay.Channels.begin()->first;
    TStunMessage data;
    data.Method = TStunMethod::Data;
    data.Class = TStunClass::Indication;
    data.XorPeer = kPeer;
    data.Data = TBytes{'p', 'o', 'n', 'g'};
    const auto fromPeer = rig.Client.Received(EncodeStun(data), kRelayAt, rig.Now);
    ASSERT_TRUE(fromPeer);
    EXPECT_EQ(fromPeer->Peer, kPeer);
    EXPECT_EQ(fromPeer->Payload, *data.Data);
    const auto onChannel =
        rig.Client.Received(EncodeChannelData(channel, *data.Data), kRelayAt, rig.Now);
    ASSERT_TRUE(onChannel);
    EXPECT_EQ(onChannel->Peer, kPeer);

    // Not from a peer it added, not on its channel, not from the relay: dropped.
    data.XorPeer = kClientSeen;
    EXPECT_FALSE(rig.Client.Received(EncodeStun(data), kRelayAt, rig.Now));
    EXPECT_FALSE(rig.Client.Received(EncodeChannelData(channel + 1, ping), kRelayAt, rig.Now));
    EXPECT_FALSE(rig.Client.Received(EncodeChannelData(channel, ping), kPeer, rig.Now));
}

} // namespace
