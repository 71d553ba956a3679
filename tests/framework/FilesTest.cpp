#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

#include "framework/Files.h"
#include "platform/FileApi.h"

namespace {

class FilesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/lumo-files-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root = pattern;
    }
    void TearDown() override
    {
        // A folder left read-only by a test would stop the clean-up.
        for (auto& entry : std::filesystem::recursive_directory_iterator(root))
            if (entry.is_directory())
                chmod(entry.path().c_str(), 0700);
        std::filesystem::remove_all(root);
    }

    void touch(const std::string& path) { std::ofstream(path) << "x"; }

    std::string root;
};

TEST_F(FilesTest, CreatesEveryMissingLevel)
{
    const std::string deep = root + "/a/b/c";
    EXPECT_TRUE(CreateFolderTree(deep));
    EXPECT_TRUE(FolderExists(root + "/a"));
    EXPECT_TRUE(FolderExists(deep));
    EXPECT_TRUE(CreateFolderTree(deep));  // already there

    EXPECT_TRUE(CreateFolderTree(root + "/x/y/"));
    EXPECT_TRUE(FolderExists(root + "/x/y"));
    EXPECT_TRUE(CreateFolderTree("/"));
    EXPECT_TRUE(CreateFolderTree(root + "//double"));
    EXPECT_TRUE(FolderExists(root + "/double"));
}

TEST_F(FilesTest, RelativePathsStartInTheCurrentFolder)
{
    const std::string saved = std::filesystem::current_path();
    ASSERT_EQ(chdir(root.c_str()), 0);
    const bool single = CreateFolderTree("plain");
    const bool nested = CreateFolderTree("rel/inner");
    ASSERT_EQ(chdir(saved.c_str()), 0);
    EXPECT_TRUE(single);
    EXPECT_TRUE(nested);
    EXPECT_TRUE(FolderExists(root + "/plain"));
    EXPECT_TRUE(FolderExists(root + "/rel/inner"));
}

TEST_F(FilesTest, ReportsFailureInsteadOfPretending)
{
    EXPECT_THROW(CreateFolderTree(""), Exception);

    touch(root + "/file");
    EXPECT_FALSE(CreateFolderTree(root + "/file/sub"));
    EXPECT_FALSE(CreateFolderTree(root + "/file"));
    EXPECT_FALSE(CreateFolderTree(root + std::string("/nul\0/x", 7)));
    EXPECT_FALSE(CreateFolderTree(root + "/" + std::string(5000, 'n')));
}

TEST_F(FilesTest, ReadOnlyParentStopsTheTree)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root ignores folder permissions";
    ASSERT_TRUE(CreateFolderTree(root + "/locked"));
    ASSERT_EQ(chmod((root + "/locked").c_str(), 0500), 0);
    EXPECT_FALSE(CreateFolderTree(root + "/locked/a/b"));
    EXPECT_FALSE(FolderExists(root + "/locked/a"));
    EXPECT_NE(GetFileAttributesA((root + "/locked").c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
}

TEST_F(FilesTest, AttributesTellFilesFromFolders)
{
    touch(root + "/f.txt");
    EXPECT_EQ(GetFileAttributesA((root + "/f.txt").c_str()), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(GetFileAttributesA(root.c_str()), FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(GetFileAttributesA((root + "/none").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesA(nullptr), INVALID_FILE_ATTRIBUTES);
    if (geteuid() != 0) {
        chmod((root + "/f.txt").c_str(), 0400);
        EXPECT_EQ(GetFileAttributesA((root + "/f.txt").c_str()), FILE_ATTRIBUTE_READONLY);
    }

    EXPECT_TRUE(FileExists(root + "/f.txt"));
    EXPECT_FALSE(FileExists(root));
    EXPECT_FALSE(FolderExists(root + "/f.txt"));
    EXPECT_FALSE(FileExists(root + "/none"));
}

TEST_F(FilesTest, FileCallsFollowTheirPlatformNamesakes)
{
    EXPECT_TRUE(CreateDirectoryA((root + "/d").c_str(), nullptr));
    EXPECT_FALSE(CreateDirectoryA((root + "/d").c_str(), nullptr));
    EXPECT_FALSE(DeleteFileA((root + "/d").c_str()));  // folders are not files

    touch(root + "/from");
    touch(root + "/to");
    EXPECT_FALSE(MoveFileExA((root + "/from").c_str(), (root + "/to").c_str(), 0));
    EXPECT_TRUE(FileExists(root + "/from"));
    EXPECT_TRUE(MoveFileExA((root + "/from").c_str(), (root + "/to").c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_FALSE(FileExists(root + "/from"));
    EXPECT_TRUE(MoveFileExA((root + "/to").c_str(), (root + "/new").c_str(), 0));

    EXPECT_TRUE(DeleteFileA((root + "/new").c_str()));
    EXPECT_FALSE(DeleteFileA((root + "/new").c_str()));
}

TEST(FileNames, SplitAtTheLastSlash)
{
    EXPECT_EQ(ExtractFilePath("/a/b/c.bmp"), "/a/b/");
    EXPECT_EQ(ExtractFileName("/a/b/c.bmp"), "c.bmp");
    EXPECT_EQ(ExtractFilePath("c.bmp"), "");
    EXPECT_EQ(ExtractFileName("c.bmp"), "c.bmp");
    EXPECT_EQ(ExtractFilePath("/a/"), "/a/");
    EXPECT_EQ(ExtractFileName("/a/"), "");
}

}  // namespace
