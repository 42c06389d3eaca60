// Archives are untrusted files: whatever their bytes, the reader must either hand back exactly
// the entry's expanded size or raise EQDAError, and never touch memory outside its buffers.
#include "dddd/QDArc.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

std::uint32_t Le32(const std::uint8_t* P) {
    return P[0] | P[1] << 8 | P[2] << 16 | static_cast<std::uint32_t>(P[3]) << 24;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    // Ask for the first entry by name, so that the data paths are reached without the fuzzer
    // having to guess a name; its last byte's low bit flips the case of the request.
    std::string name = "a.bmp";
    if (Size >= dddd::kQDAHeaderSize + dddd::kQDAEntrySize) {
        const std::uint8_t* entry = Data + dddd::kQDAHeaderSize;
        // An expanded size is believed up to 2 GiB, as it must be; the fuzzer's memory limit
        // is smaller, so such inputs are left out.
        const std::size_t entries = (Size - dddd::kQDAHeaderSize) / dddd::kQDAEntrySize;
        for (std::size_t i = 0; i < entries; ++i)
            if (Le32(Data + dddd::kQDAHeaderSize + i * dddd::kQDAEntrySize + 8) > (8u << 20))
                return 0;
        const char* n = reinterpret_cast<const char*>(entry + 12);
        name.assign(n, strnlen(n, dddd::kQDANameSize));
        if (Data[Size - 1] & 1)
            for (char& c : name)
                if (c >= 'a' && c <= 'z')
                    c = static_cast<char>(c - 'a' + 'A');
    }
    TMemoryStream archive;
    archive.WriteBuffer(Data, static_cast<std::int64_t>(Size));
    archive.SetPosition(0);
    try {
        auto entry = dddd::ReadArchiveEntry(archive, name);
        if (entry->Position() != 0)
            std::abort();
    } catch (const dddd::EQDAError&) {
    }
    return 0;
}
