#include "platform/rtl/MemoryStream.h"

#include "platform/rtl/FileStream.h"

#include <algorithm>
#include <cstring>

std::int64_t TMemoryStream::Read(void* Buffer, std::int64_t Count) {
    const std::int64_t available = Size() - Pos;
    if (Count <= 0 || available <= 0)
        return 0;
    const std::int64_t n = std::min(Count, available);
    std::memcpy(Buffer, Data.data() + Pos, static_cast<std::size_t>(n));
    Pos += n;
    return n;
}

std::int64_t TMemoryStream::Write(const void* Buffer, std::int64_t Count) {
    if (Count <= 0)
        return 0;
    if (Pos + Count > Size())
        Data.resize(static_cast<std::size_t>(Pos + Count));
    std::memcpy(Data.data() + Pos, Buffer, static_cast<std::size_t>(Count));
    Pos += Count;
    return Count;
}

std::int64_t TMemoryStream::Seek(std::int64_t Offset, TSeekOrigin Origin) {
    const std::int64_t base = Origin == soBeginning ? 0 : Origin == soCurrent ? Pos : Size();
    if (Offset < -base)
        throw EStreamError("Stream seek before its start");
    Pos = base + Offset;
    return Pos;
}

void TMemoryStream::SetSize(std::int64_t NewSize) {
    if (NewSize < 0)
        throw EStreamError("Negative stream size");
    Data.resize(static_cast<std::size_t>(NewSize));
}

void TMemoryStream::Clear() {
    Data.clear();
    Data.shrink_to_fit();
    Pos = 0;
}

void TMemoryStream::LoadFromFile(const std::string& FileName) {
    TFileStream f(FileName, fmOpenRead);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(f.Size()));
    f.ReadBuffer(bytes.data(), static_cast<std::int64_t>(bytes.size()));
    Data = std::move(bytes);
    Pos = 0;
}

void TMemoryStream::SaveToFile(const std::string& FileName) {
    TFileStream f(FileName, fmCreate);
    f.WriteBuffer(Data.data(), Size());
}
