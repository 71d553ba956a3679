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
        chmod((root + "/locked").c_str(), 0700);  // else the clean-up could not enter it
        std::filesystem::remove_all(root);
    }
    void touch(const std::string& name) { std::ofstream(root + "/" + name) << "x"; }

    std::string root;
};

TEST_F(FilesTest, CreatesEveryMissingLevel)
{
    EXPECT_TRUE(CreateFolderTree(root + "/a/b/c"));
    EXPECT_TRUE(FolderExists(root + "/a/b/c"));
    EXPECT_TRUE(CreateFolderTree(root + "/a/b/c"));  // already there
    EXPECT_TRUE(CreateFolderTree(root + "/x/y/"));
    EXPECT_TRUE(FolderExists(root + "/x/y"));
    EXPECT_TRUE(CreateFolderTree("/"));

    const std::string saved = std::filesystem::current_path();
    ASSERT_EQ(chdir(root.c_str()), 0);
    const bool bare = CreateFolderTree("bare");
    const bool relative = CreateFolderTree("rel/inner");
    ASSERT_EQ(chdir(saved.c_str()), 0);
    EXPECT_TRUE(bare && FolderExists(root + "/bare"));
    EXPECT_TRUE(relative && FolderExists(root + "/rel/inner"));
}

TEST_F(FilesTest, ReportsFailureInsteadOfPretending)
{
    EXPECT_THROW(CreateFolderTree(""), Exception);
    touch("file");
    EXPECT_FALSE(CreateFolderTree(root + "/file"));
    EXPECT_FALSE(CreateFolderTree(root + "/file/sub"));
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
    EXPECT_EQ(GetFileAttributesA((root + "/locked").c_str()), FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY);
}

TEST_F(FilesTest, FileCallsBehaveAsTheirPlatformNamesakes)
{
    touch("f");
    const std::string f = root + "/f", g = root + "/g", d = root + "/d";
    EXPECT_EQ(GetFileAttributesA(f.c_str()), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(GetFileAttributesA(root.c_str()), FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(GetFileAttributesA(g.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(FileExists(f) && !FileExists(root) && !FileExists(g) && !FolderExists(f));

    EXPECT_TRUE(CreateDirectoryA(d.c_str(), nullptr));
    EXPECT_FALSE(CreateDirectoryA(d.c_str(), nullptr));
    EXPECT_FALSE(DeleteFileA(d.c_str()));  // folders are not files

    touch("g");
    EXPECT_FALSE(MoveFileExA(f.c_str(), g.c_str(), 0));
    EXPECT_TRUE(MoveFileExA(f.c_str(), g.c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_TRUE(MoveFileExA(g.c_str(), f.c_str(), 0));
    EXPECT_TRUE(DeleteFileA(f.c_str()));
    EXPECT_FALSE(DeleteFileA(f.c_str()));

    EXPECT_EQ(ExtractFilePath("/a/b/c.bmp") + ExtractFileName("/a/b/c.bmp"), "/a/b/c.bmp");
    EXPECT_EQ(ExtractFilePath("c.bmp"), "");
    EXPECT_EQ(ExtractFileName("/a/"), "");
}

}  // namespace
