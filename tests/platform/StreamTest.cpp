#include "platform/rtl/FileStream.h"
#include "platform/rtl/MemoryStream.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

TEST(Stream, MemoryStreamReadsWhatWasWrittenAndNoMore) {
    TMemoryStream s;
    const char text[] = "abcdef";
    s.WriteBuffer(text, 6);
    EXPECT_EQ(s.Size(), 6);
    s.SetPosition(2);
    char buf[8] = {};
    EXPECT_EQ(s.Read(buf, 8), 4);
    EXPECT_STREQ(buf, "cdef");
    EXPECT_EQ(s.Read(buf, 8), 0);
    s.SetPosition(4);
    EXPECT_THROW(s.ReadBuffer(buf, 3), EReadError);
    s.Seek(10, soBeginning); // past the end: nothing to read, a write fills the gap with zeros
    EXPECT_EQ(s.Read(buf, 1), 0);
    s.WriteBuffer("z", 1);
    EXPECT_EQ(s.Size(), 11);
    EXPECT_EQ(s.Memory()[8], 0);
    EXPECT_THROW(s.Seek(-1, soBeginning), EStreamError);
    s.SetSize(3);
    EXPECT_EQ(s.Seek(0, soEnd), 3);
}

TEST(Stream, FileStreamCreatesReadsAndRefusesWhatItCannotOpen) {
    const fs::path dir =
        fs::temp_directory_path() / ("marevo-stream-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string name = (dir / "f.bin").string();
    {
        TFileStream f(name, fmCreate);
        f.WriteBuffer("hello", 5);
    }
    TMemoryStream m;
    m.LoadFromFile(name);
    EXPECT_EQ(m.Size(), 5);
    EXPECT_EQ(m.Position(), 0);
    {
        TFileStream f(name, fmOpenRead);
        EXPECT_EQ(f.Size(), 5);
        f.Seek(-2, soEnd);
        char buf[3] = {};
        f.ReadBuffer(buf, 2);
        EXPECT_STREQ(buf, "lo");
        EXPECT_THROW(f.ReadBuffer(buf, 1), EReadError);
    }
    EXPECT_THROW(TFileStream((dir / "missing").string(), fmOpenRead), EFOpenError);
    EXPECT_THROW(TFileStream(dir.string(), fmOpenRead), EFOpenError);
    EXPECT_THROW(TFileStream((dir / "no/such/file").string(), fmCreate), EFCreateError);
    fs::remove_all(dir);
}
