#pragma once
// A stream over a block of memory that it owns and grows as it is written.

#include "platform/rtl/Stream.h"

#include <cstdint>
#include <string>
#include <vector>

class TMemoryStream : public TStream {
public:
    std::int64_t Read(void* Buffer, std::int64_t Count) override;
    std::int64_t Write(const void* Buffer, std::int64_t Count) override;
    std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) override;
    std::int64_t Size() override { return static_cast<std::int64_t>(Data.size()); }

    // New bytes are zero; the position is kept, even past the new end.
    void SetSize(std::int64_t NewSize);
    void Clear();
    // Valid until the next call that changes the size.
    std::uint8_t* Memory() { return Data.data(); }
    const std::uint8_t* Memory() const { return Data.data(); }

    // Replaces the contents with the whole file (EFOpenError / EReadError); position 0.
    void LoadFromFile(const std::string& FileName);
    void SaveToFile(const std::string& FileName);

private:
    std::vector<std::uint8_t> Data;
    std::int64_t Pos = 0;
};
