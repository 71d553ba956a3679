#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "framework/Classes.h"

namespace {

std::string readAll(TStream& stream)
{
    std::string text(size_t(stream.GetSize()), '\0');
    stream.SetPosition(0);
    stream.ReadBuffer(text.data(), int(text.size()));
    return text;
}

TEST(MemoryStream, GrowsSeeksAndReadsShortAtTheEnd)
{
    TMemoryStream stream;
    std::string expected;
    for (int i = 0; i < 5000; ++i) {
        const std::string chunk = std::to_string(i * 7919) + ",";
        stream.WriteBuffer(chunk.data(), int(chunk.size()));
        expected += chunk;
    }
    ASSERT_EQ(stream.GetSize(), int64_t(expected.size()));
    EXPECT_EQ(std::memcmp(stream.Memory(), expected.data(), expected.size()), 0);

    EXPECT_EQ(stream.Seek(-3, soFromEnd), stream.GetSize() - 3);
    EXPECT_EQ(stream.Seek(-2, soFromCurrent), stream.GetSize() - 5);
    char buffer[8];
    EXPECT_EQ(stream.Read(buffer, 8), 5);
    EXPECT_EQ(stream.Read(buffer, 8), 0);
    stream.Seek(-1, soFromEnd);
    EXPECT_THROW(stream.ReadBuffer(buffer, 2), EReadError);
    EXPECT_THROW(stream.ReadBuffer(buffer, -1), EReadError);
    stream.SetPosition(-4);  // allowed, but nothing moves there
    EXPECT_EQ(stream.Read(buffer, 2), 0);
    EXPECT_EQ(stream.Write("x", 1), 0);

    // Growth that cannot happen raises instead of wrapping round.
    EXPECT_THROW(stream.Seek(INT64_MAX, soFromEnd), EStreamError);
    stream.SetPosition(INT64_MAX - 2);
    EXPECT_THROW(stream.Write("abcdef", 6), EStreamError);
    EXPECT_THROW(stream.SetSize(INT64_MAX), EStreamError);
    EXPECT_THROW(stream.SetSize(-1), EStreamError);
    EXPECT_EQ(stream.GetSize(), int64_t(expected.size()));
}

TEST(MemoryStream, BytesNeverWrittenReadAsZeros)
{
    TMemoryStream stream;
    stream.WriteBuffer("ab", 2);
    stream.SetSize(1);  // the stale 'b' must not come back
    stream.SetPosition(5);
    stream.WriteBuffer("z", 1);
    EXPECT_EQ(readAll(stream), std::string("a\0\0\0\0z", 6));

    stream.SetPosition(0);
    stream.WriteBuffer("abcdef", 6);
    stream.SetSize(2);
    EXPECT_EQ(stream.GetPosition(), 2);
    stream.SetSize(4);
    EXPECT_EQ(readAll(stream), std::string("ab\0\0", 4));

    stream.Clear();
    EXPECT_EQ(stream.GetSize(), 0);
    EXPECT_EQ(stream.Memory(), nullptr);
}

TEST(MemoryStream, CopiesAndLoadsFromOtherStreams)
{
    TMemoryStream source;
    source.WriteBuffer("hello world", 11);
    TMemoryStream whole;
    whole.WriteBuffer("old content, longer than the new", 32);
    whole.SetPosition(0);
    EXPECT_EQ(whole.CopyFrom(&source, 0), 11);  // 0: all of it, from its start
    EXPECT_EQ(readAll(whole), "hello world, longer than the new");

    source.SetPosition(6);
    TMemoryStream part;
    EXPECT_EQ(part.CopyFrom(&source, 3), 3);
    EXPECT_EQ(readAll(part), "wor");
    EXPECT_THROW(part.CopyFrom(&source, 5), EReadError);  // only 2 left
    EXPECT_THROW(part.CopyFrom(nullptr, 0), EStreamError);

    part.LoadFromStream(&source);
    EXPECT_EQ(part.GetPosition(), 0);
    EXPECT_EQ(readAll(part), "hello world");
}

class FileStreamTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/lumo-streams-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(folder); }
    std::string path(const std::string& name) const { return folder + "/" + name; }

    std::string folder;
};

TEST_F(FileStreamTest, WritesReadsAndTruncates)
{
    {
        TFileStream file(path("a.bin"), fmCreate);
        file.WriteBuffer("abcdef", 6);
    }
    {
        TFileStream file(path("a.bin"), fmOpenReadWrite);
        file.Seek(2, soFromBeginning);
        file.WriteBuffer("XY", 2);
        EXPECT_EQ(readAll(file), "abXYef");
        file.SetSize(3);
        EXPECT_EQ(file.GetPosition(), 3);
    }
    TMemoryStream loaded;
    loaded.LoadFromFile(path("a.bin"));
    EXPECT_EQ(readAll(loaded), "abX");
    loaded.SetSize(1);
    loaded.SaveToFile(path("a.bin"));  // fmCreate cuts the longer file
    TFileStream file(path("a.bin"), fmOpenRead);
    EXPECT_EQ(readAll(file), "a");
    EXPECT_THROW(file.WriteBuffer("no", 2), EWriteError);  // opened for reading only
}

TEST_F(FileStreamTest, FailuresNameTheFileAndTheReason)
{
    try {
        TFileStream file(path("missing"), fmOpenRead);
        FAIL() << "opened a missing file";
    } catch (const EFOpenError& e) {
        EXPECT_EQ(e.Message(), "Cannot open file \"" + path("missing") + "\". No such file or directory");
    }
    EXPECT_THROW(TFileStream(path("no/folder"), fmCreate), EFCreateError);
    EXPECT_THROW(TFileStream(folder, fmOpenRead), EFOpenError);  // a folder is not a file
    EXPECT_THROW(TFileStream(folder + std::string("\0x", 2), fmOpenRead), EFOpenError);
    EXPECT_THROW(TFileStream(path("a"), 3), EFOpenError);  // no such access mode

    TFileStream full("/dev/full", fmOpenWrite);
    EXPECT_EQ(full.Write("abc", 3), 0);
    EXPECT_THROW(full.WriteBuffer("abc", 3), EWriteError);
}

TEST_F(FileStreamTest, ExclusiveSharingKeepsOthersOut)
{
    TFileStream owner(path("lock"), fmCreate | fmShareExclusive);
    owner.WriteBuffer("kept", 4);
    EXPECT_THROW(TFileStream(path("lock"), fmOpenRead | fmShareExclusive), EFOpenError);
    EXPECT_THROW(TFileStream(path("lock"), fmOpenRead | fmShareDenyWrite), EFOpenError);
    EXPECT_THROW(TFileStream(path("lock"), fmCreate | fmShareExclusive), EFCreateError);
    EXPECT_EQ(owner.GetSize(), 4);  // the refused create did not cut it

    TFileStream reader1(path("shared"), fmCreate | fmShareDenyWrite);
    EXPECT_NO_THROW(TFileStream(path("shared"), fmOpenRead | fmShareDenyWrite));
}

class Apple : public TPersistent
{
public:
    AnsiString ClassName() const override { return "TApple"; }
};

TEST(Persistent, AssignNamesBothClassesWhenNeitherKnowsTheOther)
{
    Apple apple;
    TPersistent plain;
    try {
        plain.Assign(&apple);
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "Cannot assign a TApple to a TPersistent");
    }
    try {
        apple.Assign(nullptr);
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "Cannot assign a nil to a TApple");
    }
}

}  // namespace
