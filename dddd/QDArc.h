#pragma once
// Reads single entries out of a QDA archive: a 256-byte header, a directory of 268-byte entries
// and the entries' data, stored plainly or byte-pair encoded. Every fault of the format raises
// EQDAError; nothing is read or written outside the archive's bytes and the result's.
//
// Layout (integers 32-bit little-endian): header Method (1 = every entry byte-pair encoded,
// anything else = stored), Magic "QDA0", Count, 244 unused bytes; then Count directory entries
// DataOffset (absolute), StoredSize, ExpandedSize, Name (256 bytes, NUL-terminated).

#include "platform/rtl/MemoryStream.h"
#include "platform/rtl/SysUtils.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace dddd {

class EQDAError : public Exception {
public:
    using Exception::Exception;
};

inline constexpr char kQDANotArchive[] = "QDAファイルではありません";
inline constexpr char kQDAEntryNotFound[] = "指定されたIDを持つファイルが見つかりません";
// Sizes or codes that the archive's own bytes cannot honour.
inline constexpr char kQDADamaged[] = "QDAファイルが壊れています";

inline constexpr std::size_t kQDAHeaderSize = 256;
inline constexpr std::size_t kQDAEntrySize = 268;
inline constexpr std::size_t kQDANameSize = 256;
inline constexpr std::int32_t kQDABytePairMethod = 1;

// Opens the file, reads the entry and closes the file again, whatever happens. A file that
// cannot be opened raises EFOpenError, untouched. The result is positioned at 0.
std::unique_ptr<TMemoryStream> ExtractFromArchive(const std::string& ArchiveFileName,
                                                  const std::string& EntryName);

// Stream must be positioned at the archive's start, which is offset 0: the directory's offsets
// are absolute. Names match whatever the case of their ASCII letters; the first match in
// directory order wins. An entry whose DataOffset is 0 counts as missing.
std::unique_ptr<TMemoryStream> ReadArchiveEntry(TStream& Stream, const std::string& EntryName);

// Decodes every block from Packed's position to its end, which is where Packed is left. The
// output must come to exactly ExpandedSize bytes.
std::unique_ptr<TMemoryStream> ExpandBytePairs(TMemoryStream& Packed, std::int32_t ExpandedSize);

bool IsArchiveHeader(std::span<const std::uint8_t, kQDAHeaderSize> Header);

} // namespace dddd
