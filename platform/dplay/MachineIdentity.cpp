#include "MachineIdentity.h"

#include <sodium.h>

#include <cstdlib>

namespace dplay {

namespace {

void InitializeSodium() {
    // Only fails when the system cannot give randomness at all; nothing here is safe then.
    static const int result = sodium_init();
    if (result < 0)
        std::abort();
}

constexpr char kSignContext[crypto_kdf_CONTEXTBYTES + 1] = "MVsign__";
constexpr char kDrawContext[crypto_kdf_CONTEXTBYTES + 1] = "MVdraw__";

static_assert(sizeof(TMachineKey) == crypto_sign_PUBLICKEYBYTES);
static_assert(sizeof(TSignature) == crypto_sign_BYTES);
static_assert(sizeof(TMachineKey) == crypto_kdf_KEYBYTES);

} // namespace

TMachineIdentity::TMachineIdentity(const TMachineKey& ASeed) : Seed(ASeed) {
    InitializeSodium();
    static_assert(sizeof Secret == crypto_sign_SECRETKEYBYTES);
    unsigned char signSeed[crypto_sign_SEEDBYTES];
    crypto_kdf_derive_from_key(signSeed, sizeof signSeed, 0, kSignContext, Seed.data());
    crypto_sign_seed_keypair(Public.data(), Secret.data(), signSeed);
    sodium_memzero(signSeed, sizeof signSeed);
}

TMachineIdentity::~TMachineIdentity() {
    sodium_memzero(Secret.data(), Secret.size());
    sodium_memzero(Seed.data(), Seed.size());
}

TSignature TMachineIdentity::Sign(std::span<const std::uint8_t> Bytes) const {
    TSignature s{};
    crypto_sign_detached(s.data(), nullptr, Bytes.data(), Bytes.size(), Secret.data());
    return s;
}

TMachineKey TMachineIdentity::Draw() {
    TMachineKey out{};
    crypto_kdf_derive_from_key(out.data(), out.size(), ++Drawn, kDrawContext, Seed.data());
    return out;
}

bool TMachineIdentity::Verify(const TMachineKey& Key, const TSignature& Signature,
                              std::span<const std::uint8_t> Bytes) {
    InitializeSodium();
    return crypto_sign_verify_detached(Signature.data(), Bytes.data(), Bytes.size(), Key.data()) ==
           0;
}

TMachineKey TMachineIdentity::RandomSeed() {
    InitializeSodium();
    TMachineKey seed{};
    randombytes_buf(seed.data(), seed.size());
    return seed;
}

} // namespace dplay
