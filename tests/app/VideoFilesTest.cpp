// Names and folders of the recordings: taken from one moment, English names whatever the
// locale, zero-padded numbers, and never the name of a file that is already there.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "app/VideoFiles.h"
#include "platform/Clock.h"
#include "tests/app/AppClock.h"

namespace {

// The names of a file started at the given local time, read through the clock like the
// program reads it.
TVideoFileNames NamesAt(int64_t localUs, const AnsiString& documents = "/home/u/Documents")
{
    auto clock = std::make_shared<FakeClock>(localUs);
    setClock(clock);
    TVideoFileNames names = VideoFileNamesAt(Now(), documents);
    setClock(nullptr);
    return names;
}

TEST(VideoFileNamesTest, NamesTheFileAndFolderAfterTheMoment)
{
    TVideoFileNames n = NamesAt(LocalMicroseconds(2026, 12, 6, 16, 53, 30, 42));
    EXPECT_EQ(n.VideoFileName, "2026-12-06 16-53-30 042.AVI");
    EXPECT_EQ(n.DateFolder, "2026/12 Dec/06 Sun");
    EXPECT_EQ(n.VideoFolder, "/home/u/Documents/Lumofree/VIDEOS/2026/12 Dec/06 Sun");
    EXPECT_EQ(n.VideoFilePath, "/home/u/Documents/Lumofree/VIDEOS/2026/12 Dec/06 Sun/2026-12-06 16-53-30 042.AVI");

    // Small numbers are padded: month 1, day 2, hour 9, minute 5, second 0, millisecond 7.
    n = NamesAt(LocalMicroseconds(2027, 1, 2, 9, 5, 0, 7));
    EXPECT_EQ(n.VideoFileName, "2027-01-02 09-05-00 007.AVI");
    EXPECT_EQ(n.DateFolder, "2027/01 Jan/02 Sat");

    // Without a documents folder the tree starts at the root, as the shell gave nothing.
    EXPECT_EQ(NamesAt(LocalMicroseconds(2026, 3, 1), "").VideoFolder, "/Lumofree/VIDEOS/2026/03 Mar/01 Sun");
}

TEST(VideoFileNamesTest, YearEndAndMidnight)
{
    // The last millisecond of 2026, a Thursday; the next one is in the next year's folder.
    TVideoFileNames n = NamesAt(LocalMicroseconds(2026, 12, 31, 23, 59, 59, 999));
    EXPECT_EQ(n.VideoFileName, "2026-12-31 23-59-59 999.AVI");
    EXPECT_EQ(n.DateFolder, "2026/12 Dec/31 Thu");
    n = NamesAt(LocalMicroseconds(2026, 12, 31, 23, 59, 59, 995) + 30 * 60 * int64_t(1000000));
    EXPECT_EQ(n.VideoFileName, "2027-01-01 00-29-59 995.AVI");
    EXPECT_EQ(n.DateFolder, "2027/01 Jan/01 Fri");
    // Midnight itself belongs to the new day.
    n = NamesAt(LocalMicroseconds(2028, 2, 29));
    EXPECT_EQ(n.VideoFileName, "2028-02-29 00-00-00 000.AVI");
    EXPECT_EQ(n.DateFolder, "2028/02 Feb/29 Tue");
    // A fraction of a millisecond before midnight rounds into the next day in both parts.
    // (The clock gives whole milliseconds; a computed moment need not.)
    n = VideoFileNamesAt(EncodeDate(2026, 6, 30) + EncodeTime(23, 59, 59, 999) + 0.8 / MSecsPerDay, "");
    EXPECT_EQ(n.VideoFileName, "2026-07-01 00-00-00 000.AVI");
    EXPECT_EQ(n.DateFolder, "2026/07 Jul/01 Wed");
}

TEST(VideoFileNamesTest, EveryMonthAndWeekdayInEnglishWhateverTheLocale)
{
    // A German locale when the machine has one; the names must not follow it either way.
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    std::setlocale(LC_ALL, "de_DE.UTF-8");
    const char* months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    char expected[16];
    for (unsigned m = 1; m <= 12; ++m) {
        std::snprintf(expected, sizeof expected, "%02u %s", m, months[m - 1]);
        EXPECT_EQ(NamesAt(LocalMicroseconds(2026, m, 15)).DateFolder.substr(5, 6), expected);
    }
    // 2026-12-06 is a Sunday.
    const char* days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    for (unsigned d = 0; d < 7; ++d) {
        std::snprintf(expected, sizeof expected, "%02u %s", 6 + d, days[d]);
        EXPECT_EQ(NamesAt(LocalMicroseconds(2026, 12, 6 + d)).DateFolder.substr(12), expected);
    }
    std::setlocale(LC_ALL, saved.c_str());
}

TEST(VideoFileNamesTest, PaddingKeepsLongNumbersWhole)
{
    EXPECT_EQ(PadNumber(7, 3), "007");
    EXPECT_EQ(PadNumber(0, 2), "00");
    EXPECT_EQ(PadNumber(12345, 4), "12345");
    EXPECT_EQ(NamesAt(LocalMicroseconds(812, 5, 4)).VideoFileName, "0812-05-04 00-00-00 000.AVI");
}

class FolderFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/lumo-app-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root = pattern;
        for (const char* name : {"HOME", "XDG_CONFIG_HOME"})
            if (const char* value = std::getenv(name))
                saved.emplace_back(name, value);
    }
    void TearDown() override
    {
        unsetenv("XDG_CONFIG_HOME");
        for (auto& [name, value] : saved)
            setenv(name.c_str(), value.c_str(), 1);
        std::filesystem::remove_all(root);
    }
    std::string root;
    std::vector<std::pair<std::string, std::string>> saved;
};

using ExistingNamesTest = FolderFixture;

TEST_F(ExistingNamesTest, AFileThatIsThereIsNeverTakenAgain)
{
    TVideoFileNames n = VideoFileNamesAt(46000.5, root);
    EXPECT_EQ(UnusedVideoFileNames(n).VideoFilePath, n.VideoFilePath);   // nothing there yet
    std::filesystem::create_directories(n.VideoFolder);
    std::ofstream(n.VideoFilePath) << "an earlier recording";
    TVideoFileNames second = UnusedVideoFileNames(n);
    EXPECT_EQ(second.VideoFileName, "2025-12-09 12-00-00 000 (2).AVI");
    EXPECT_EQ(second.VideoFilePath, n.VideoFolder + "/" + second.VideoFileName);
    EXPECT_EQ(second.VideoFolder, n.VideoFolder);
    std::ofstream(second.VideoFilePath) << "x";
    std::filesystem::create_directories(n.VideoFolder + "/2025-12-09 12-00-00 000 (3).AVI");
    EXPECT_EQ(UnusedVideoFileNames(n).VideoFileName, "2025-12-09 12-00-00 000 (4).AVI");
}

using DocumentsFolderTest = FolderFixture;

TEST_F(DocumentsFolderTest, TheDesktopsDocumentsFolderWithoutATrailingSlash)
{
    setenv("HOME", root.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);
    // No user-dirs file and no Documents folder: the home folder.
    EXPECT_EQ(DocumentsFolderOf(0), root);
    std::filesystem::create_directories(root + "/Documents");
    EXPECT_EQ(DocumentsFolderOf(0), root + "/Documents");
    std::filesystem::create_directories(root + "/config");
    std::ofstream(root + "/config/user-dirs.dirs") << "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente/\"\n";
    EXPECT_EQ(DocumentsFolderOf(0), root + "/Dokumente");
}

}   // namespace
