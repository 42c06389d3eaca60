#pragma once
// A stream over an open file; the file is closed when the stream is destroyed.

#include "platform/rtl/Stream.h"

#include <cstdio>
#include <string>

// The file could not be opened.
class EFOpenError : public EStreamError {
public:
    using EStreamError::EStreamError;
};

// The file could not be created.
class EFCreateError : public EStreamError {
public:
    using EStreamError::EStreamError;
};

enum TFileMode : unsigned {
    fmOpenRead = 0x0000,
    fmOpenWrite = 0x0001,
    fmOpenReadWrite = 0x0002,
    fmCreate = 0xFF00, // a new empty file, truncating one of the same name
};

class TFileStream : public TStream {
public:
    TFileStream(const std::string& FileName, TFileMode Mode);
    ~TFileStream() override;

    std::int64_t Read(void* Buffer, std::int64_t Count) override;
    std::int64_t Write(const void* Buffer, std::int64_t Count) override;
    std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) override;

    const std::string& FileName() const { return FFileName; }

private:
    std::string FFileName;
    std::FILE* File = nullptr;
};
