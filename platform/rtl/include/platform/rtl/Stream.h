#pragma once
// The runtime's byte stream: a position within a sized sequence of bytes, read and written in
// blocks. Positions and counts are 64-bit so that no file size can wrap them.

#include "platform/rtl/SysUtils.h"

#include <cstdint>

class EStreamError : public Exception {
public:
    using Exception::Exception;
};

// ReadBuffer found fewer bytes than it was asked for.
class EReadError : public EStreamError {
public:
    using EStreamError::EStreamError;
};

// WriteBuffer could not write all its bytes.
class EWriteError : public EStreamError {
public:
    using EStreamError::EStreamError;
};

enum TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream {
public:
    virtual ~TStream() = default;
    TStream() = default;
    TStream(const TStream&) = delete;
    TStream& operator=(const TStream&) = delete;

    // Reads at most Count bytes at the position; returns how many it read (0 at the end).
    virtual std::int64_t Read(void* Buffer, std::int64_t Count) = 0;
    // Returns how many bytes it wrote.
    virtual std::int64_t Write(const void* Buffer, std::int64_t Count) = 0;
    // Returns the new position; a position before 0 raises EStreamError. A position past the
    // end is allowed, as in a file: reads there return 0.
    virtual std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) = 0;

    std::int64_t Position() { return Seek(0, soCurrent); }
    void SetPosition(std::int64_t Position) { Seek(Position, soBeginning); }
    virtual std::int64_t Size();

    // Exactly Count bytes, or EReadError (the position then lies after what could be read).
    void ReadBuffer(void* Buffer, std::int64_t Count);
    // Exactly Count bytes, or EWriteError.
    void WriteBuffer(const void* Buffer, std::int64_t Count);
    // Copies Count bytes from Source's position; Count 0 copies Source from its start to end.
    std::int64_t CopyFrom(TStream& Source, std::int64_t Count);
};
