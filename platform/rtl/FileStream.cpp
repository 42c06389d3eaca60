#include "platform/rtl/FileStream.h"

#include <sys/stat.h>

TFileStream::TFileStream(const std::string& AFileName, TFileMode Mode) : FFileName(AFileName) {
    const char* how = Mode == fmCreate ? "w+b" : Mode == fmOpenRead ? "rb" : "r+b";
    File = std::fopen(FFileName.c_str(), how);
    // A folder opens for reading on this platform; it is no file to read.
    struct stat st {};
    if (File && (::fstat(::fileno(File), &st) != 0 || S_ISDIR(st.st_mode))) {
        std::fclose(File);
        File = nullptr;
    }
    if (!File) {
        if (Mode == fmCreate)
            throw EFCreateError("Cannot create file \"" + FFileName + "\"");
        throw EFOpenError("Cannot open file \"" + FFileName + "\"");
    }
}

TFileStream::~TFileStream() {
    if (File)
        std::fclose(File);
}

std::int64_t TFileStream::Read(void* Buffer, std::int64_t Count) {
    if (Count <= 0)
        return 0;
    return static_cast<std::int64_t>(std::fread(Buffer, 1, static_cast<std::size_t>(Count), File));
}

std::int64_t TFileStream::Write(const void* Buffer, std::int64_t Count) {
    if (Count <= 0)
        return 0;
    return static_cast<std::int64_t>(std::fwrite(Buffer, 1, static_cast<std::size_t>(Count), File));
}

std::int64_t TFileStream::Seek(std::int64_t Offset, TSeekOrigin Origin) {
    const int whence = Origin == soBeginning ? SEEK_SET : Origin == soCurrent ? SEEK_CUR : SEEK_END;
    if (::fseeko(File, static_cast<off_t>(Offset), whence) != 0)
        throw EStreamError("Cannot seek in \"" + FFileName + "\"");
    return static_cast<std::int64_t>(::ftello(File));
}
