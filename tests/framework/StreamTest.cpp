#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "framework/Classes.h"

namespace {

class TempFolder : public ::testing::Test
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

std::string readAll(TStream& stream)
{
    std::string text(size_t(stream.GetSize()), '\0');
    stream.SetPosition(0);
    stream.ReadBuffer(text.data(), int(text.size()));
    return text;
}

TEST(MemoryStream, GrowsAcrossManyWritesAndKeepsEveryByte)
{
    TMemoryStream stream;
    std::vector<uint8_t> expected;
    for (int i = 0; i < 5000; ++i) {
        const uint8_t chunk[7] = {uint8_t(i), uint8_t(i >> 8), 1, 2, 3, 4, 5};
        stream.WriteBuffer(chunk, sizeof chunk);
        expected.insert(expected.end(), chunk, chunk + sizeof chunk);
    }
    ASSERT_EQ(stream.GetSize(), int64_t(expected.size()));
    EXPECT_EQ(stream.GetPosition(), stream.GetSize());
    EXPECT_GE(stream.GetCapacity(), stream.GetSize());
    EXPECT_EQ(std::memcmp(stream.Memory(), expected.data(), expected.size()), 0);
}

TEST(MemoryStream, SeeksFromEveryOriginAndReadsShortAtTheEnd)
{
    TMemoryStream stream;
    stream.WriteBuffer("0123456789", 10);
    EXPECT_EQ(stream.Seek(-3, soFromEnd), 7);
    EXPECT_EQ(stream.Seek(-2, soFromCurrent), 5);
    char buffer[8] = {};
    EXPECT_EQ(stream.Read(buffer, 8), 5);
    EXPECT_EQ(std::string(buffer, 5), "56789");
    EXPECT_EQ(stream.Read(buffer, 8), 0);

    stream.SetPosition(8);
    EXPECT_THROW(stream.ReadBuffer(buffer, 3), EReadError);
    stream.SetPosition(-4);
    EXPECT_EQ(stream.Read(buffer, 2), 0);
    EXPECT_EQ(stream.Write("x", 1), 0);
    EXPECT_THROW(stream.Seek(INT64_MAX, soFromEnd), EStreamError);
    EXPECT_THROW(stream.ReadBuffer(buffer, -1), EReadError);
    EXPECT_THROW(stream.WriteBuffer(nullptr, 1), EWriteError);
}

TEST(MemoryStream, WritingPastTheEndFillsTheGapWithZeros)
{
    TMemoryStream stream;
    stream.WriteBuffer("ab", 2);
    stream.SetSize(1);  // stale byte 'b' must not come back
    stream.SetPosition(5);
    stream.WriteBuffer("z", 1);
    EXPECT_EQ(readAll(stream), std::string("a\0\0\0\0z", 6));

    stream.SetSize(2);
    EXPECT_EQ(stream.GetPosition(), 2);
    stream.SetSize(4);
    EXPECT_EQ(readAll(stream), std::string("a\0\0\0", 4));
    EXPECT_THROW(stream.SetSize(-1), EStreamError);

    stream.Clear();
    EXPECT_EQ(stream.GetSize(), 0);
    EXPECT_EQ(stream.GetPosition(), 0);
    EXPECT_EQ(stream.Memory(), nullptr);
}

TEST(MemoryStream, ImpossibleGrowthRaisesInsteadOfWrapping)
{
    TMemoryStream stream;
    stream.SetPosition(INT64_MAX - 2);
    EXPECT_THROW(stream.Write("abcdef", 6), EStreamError);
    EXPECT_THROW(stream.SetSize(INT64_MAX), EStreamError);
    EXPECT_EQ(stream.GetSize(), 0);
}

TEST(MemoryStream, CopyFromWithZeroCountTakesTheWholeSource)
{
    TMemoryStream source;
    source.WriteBuffer("hello world", 11);
    TMemoryStream dest;
    EXPECT_EQ(dest.CopyFrom(&source, 0), 11);
    EXPECT_EQ(readAll(dest), "hello world");

    source.SetPosition(6);
    TMemoryStream part;
    EXPECT_EQ(part.CopyFrom(&source, 3), 3);
    EXPECT_EQ(readAll(part), "wor");
    EXPECT_THROW(part.CopyFrom(&source, 5), EReadError);  // only 2 left
    EXPECT_THROW(part.CopyFrom(&source, -1), EReadError);
    EXPECT_THROW(part.CopyFrom(nullptr, 0), EStreamError);
}

TEST(MemoryStream, LoadsFromAStreamWhateverItsPosition)
{
    TMemoryStream source;
    source.WriteBuffer("payload", 7);
    TMemoryStream copy;
    copy.WriteBuffer("old content that is longer", 26);
    copy.LoadFromStream(&source);
    EXPECT_EQ(copy.GetPosition(), 0);
    EXPECT_EQ(readAll(copy), "payload");
}

TEST_F(TempFolder, FileStreamWritesAndReadsBack)
{
    {
        TFileStream file(path("a.bin"), fmCreate);
        file.WriteBuffer("abcdef", 6);
        EXPECT_EQ(file.GetSize(), 6);
    }
    {
        TFileStream file(path("a.bin"), fmOpenReadWrite);
        file.Seek(2, soFromBeginning);
        file.WriteBuffer("XY", 2);
        EXPECT_EQ(readAll(file), "abXYef");
        file.SetSize(3);
        EXPECT_EQ(file.GetPosition(), 3);
    }
    TFileStream file(path("a.bin"), fmOpenRead | fmShareDenyWrite);
    EXPECT_EQ(readAll(file), "abX");
    char c;
    EXPECT_EQ(file.Read(&c, 1), 0);
    EXPECT_THROW(file.WriteBuffer("no", 2), EWriteError);  // opened for reading only
}

TEST_F(TempFolder, CreateTruncatesAnExistingFile)
{
    TMemoryStream data;
    data.WriteBuffer("0123456789", 10);
    data.SaveToFile(path("b.bin"));
    data.Clear();
    data.WriteBuffer("xy", 2);
    data.SaveToFile(path("b.bin"));
    TMemoryStream loaded;
    loaded.LoadFromFile(path("b.bin"));
    EXPECT_EQ(readAll(loaded), "xy");
}

TEST_F(TempFolder, OpenFailuresNameTheFileAndTheReason)
{
    try {
        TFileStream file(path("missing.bin"), fmOpenRead);
        FAIL() << "opened a missing file";
    } catch (const EFOpenError& e) {
        EXPECT_EQ(e.Message(), "Cannot open file \"" + path("missing.bin") + "\". No such file or directory");
    }
    EXPECT_THROW(TFileStream(path("no/such/folder.bin"), fmCreate), EFCreateError);
    EXPECT_THROW(TFileStream(folder, fmOpenRead), EFOpenError);  // a folder is not a file
    EXPECT_THROW(TFileStream(folder + std::string("\0x", 2), fmOpenRead), EFOpenError);
    { TFileStream(path("c.bin"), fmCreate); }
    EXPECT_THROW(TFileStream(path("c.bin"), 3), EFOpenError);  // no such access mode
    EXPECT_THROW(TFileStream(path("c.bin"), fmOpenRead | 0x50), EFOpenError);
}

TEST_F(TempFolder, ExclusiveSharingKeepsOthersOut)
{
    TFileStream first(path("lock.bin"), fmCreate | fmShareExclusive);
    EXPECT_THROW(TFileStream(path("lock.bin"), fmOpenRead | fmShareExclusive), EFOpenError);
    EXPECT_THROW(TFileStream(path("lock.bin"), fmOpenRead | fmShareDenyWrite), EFOpenError);
    first.WriteBuffer("kept", 4);
    // A refused create must not have cut the owner's file.
    EXPECT_THROW(TFileStream(path("lock.bin"), fmCreate | fmShareExclusive), EFOpenError);
    EXPECT_EQ(first.GetSize(), 4);

    TFileStream reader1(path("shared.bin"), fmCreate | fmShareDenyWrite);
    TFileStream reader2(path("shared.bin"), fmOpenRead | fmShareDenyWrite);
    EXPECT_EQ(reader2.GetSize(), 0);
}

TEST(FileStream, WriteErrorsSurface)
{
    TFileStream full("/dev/full", fmOpenWrite);
    EXPECT_EQ(full.Write("abc", 3), 0);
    EXPECT_THROW(full.WriteBuffer("abc", 3), EWriteError);
    TMemoryStream data;
    data.WriteBuffer("abc", 3);
    EXPECT_THROW(data.SaveToStream(&full), EWriteError);
}

class Apple : public TPersistent
{
public:
    AnsiString ClassName() const override { return "TApple"; }
};

class Pear : public TPersistent
{
public:
    int Weight = 0;
    AnsiString ClassName() const override { return "TPear"; }
    void Assign(TPersistent* Source) override
    {
        if (auto* pear = dynamic_cast<Pear*>(Source))
            Weight = pear->Weight;
        else
            TPersistent::Assign(Source);
    }
};

TEST(Persistent, AssignNamesBothClassesWhenNeitherKnowsTheOther)
{
    Pear pear, other;
    other.Weight = 7;
    pear.Assign(&other);
    EXPECT_EQ(pear.Weight, 7);

    Apple apple;
    try {
        pear.Assign(&apple);
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "Cannot assign a TApple to a TPear");
    }
    try {
        apple.Assign(nullptr);
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "Cannot assign a nil to a TApple");
    }
}

TEST(Geometry, RectsMatchThePlatformLayoutAndMeasureWithoutOverflow)
{
    const TRect r = Rect(10, 20, 15, 60);
    EXPECT_EQ(r.Width(), 5);
    EXPECT_EQ(r.Height(), 40);
    const RECT platform = r;
    EXPECT_EQ(TRect(platform), r);
    EXPECT_NE(r, Rect(10, 20, 15, 61));
    EXPECT_EQ(TRect(Point(1, 2), Point(3, 4)), Rect(1, 2, 3, 4));
    EXPECT_EQ(TRect(), Rect(0, 0, 0, 0));
    EXPECT_EQ(Rect(INT32_MIN, 0, INT32_MAX, 0).Width(), -1);  // wraps, as the platform would
}

}  // namespace
