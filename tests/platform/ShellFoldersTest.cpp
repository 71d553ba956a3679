// The documents folder from the XDG user directories, as an item id list and a path.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/Shell.h"
#include "TempEnvironment.h"

namespace fs = std::filesystem;

namespace {

void writeFile(const fs::path& path, const std::string& text)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path) << text;
}

// The documents (or settings) folder through the two calls the program makes.
std::string documentsFolder(int folder = CSIDL_PERSONAL)
{
    LPITEMIDLIST list = nullptr;
    HRESULT hr = SHGetSpecialFolderLocation(0, folder, &list);
    if (FAILED(hr))
        return "<failed>";
    char path[MAX_PATH];
    BOOL ok = SHGetPathFromIDListA(list, path);
    ILFree(list);
    return ok ? path : "<no path>";
}

class DocumentsFolder : public ::testing::Test
{
protected:
    void SetUp() override
    {
        env.set("HOME", home().c_str());
        env.set("XDG_CONFIG_HOME", nullptr);
    }
    std::string home() const { return (temp.path() / "home").string(); }
    void writeUserDirs(const std::string& text, const fs::path& config = {})
    {
        writeFile((config.empty() ? fs::path(home()) / ".config" : config) / "user-dirs.dirs", text);
    }

    TempFolder temp;
    Environment env;
};

}  // namespace

TEST_F(DocumentsFolder, ComesFromTheUserDirsFileWithHomeSubstituted)
{
    writeUserDirs("# written by xdg-user-dirs-update\n"
                  "XDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
                  "XDG_DOCUMENTS_DIR=\"$HOME/Papiere\"\n"
                  "XDG_DOWNLOAD_DIR=\"$HOME/Downloads\"\n");
    EXPECT_EQ(documentsFolder(), home() + "/Papiere");

    // Absolute values, escapes, blanks, trailing slashes, a later entry winning, ${HOME}.
    const std::pair<const char*, std::string> cases[] = {
        {"XDG_DOCUMENTS_DIR=\"/srv/papers\"\n", "/srv/papers"},
        {"XDG_DOCUMENTS_DIR=\"$HOME/My \\\"Docs\\\" \\\\ \\$x\"\n", home() + "/My \"Docs\" \\ $x"},
        {"  XDG_DOCUMENTS_DIR=\"$HOME/Docs/\"  # moved\n", home() + "/Docs"},
        {"XDG_DOCUMENTS_DIR=\"$HOME\"\n", home()},
        {"XDG_DOCUMENTS_DIR=\"$HOME/a\"\nXDG_DOCUMENTS_DIR=\"$HOME/b\"\n", home() + "/b"},
        {"XDG_DOCUMENTS_DIR=${HOME}/unquoted\n", home() + "/unquoted"},
        {"XDG_DOCUMENTS_DIR=\"/tmp/no newline\"", "/tmp/no newline"},
    };
    for (auto& [text, expected] : cases) {
        writeUserDirs(text);
        EXPECT_EQ(documentsFolder(), expected) << text;
    }
}

// The settings folder (CSIDL_APPDATA) follows the same rule.
TEST_F(DocumentsFolder, XdgConfigHomeIsHonouredWhenAbsolute)
{
    writeUserDirs("XDG_DOCUMENTS_DIR=\"$HOME/FromDefault\"\n");
    fs::path config = temp.path() / "config";
    writeUserDirs("XDG_DOCUMENTS_DIR=\"$HOME/FromConfigHome\"\n", config);

    env.set("XDG_CONFIG_HOME", config.c_str());
    EXPECT_EQ(documentsFolder(), home() + "/FromConfigHome");
    EXPECT_EQ(documentsFolder(CSIDL_APPDATA), config.string());
    // Empty or relative: invalid, so ~/.config is read.
    env.set("XDG_CONFIG_HOME", "");
    EXPECT_EQ(documentsFolder(), home() + "/FromDefault");
    env.set("XDG_CONFIG_HOME", "config");
    EXPECT_EQ(documentsFolder(), home() + "/FromDefault");
    EXPECT_EQ(documentsFolder(CSIDL_APPDATA), home() + "/.config");
}

TEST_F(DocumentsFolder, WithoutAUsableEntryItIsDocumentsWhenThereElseHome)
{
    // No file at all, no Documents folder.
    fs::create_directories(home());
    EXPECT_EQ(documentsFolder(), home());
    fs::create_directories(fs::path(home()) / "Documents");
    EXPECT_EQ(documentsFolder(), home() + "/Documents");

    // Files without a usable entry: none, commented out, empty, relative, another variable,
    // unclosed quote, a similar name.
    for (const char* text : {"XDG_MUSIC_DIR=\"$HOME/Music\"\n",
                             "# XDG_DOCUMENTS_DIR=\"$HOME/Old\"\n",
                             "XDG_DOCUMENTS_DIR=\"\"\n",
                             "XDG_DOCUMENTS_DIR=\"Docs\"\n",
                             "XDG_DOCUMENTS_DIR=\"$HOMEDIR/Docs\"\n",
                             "XDG_DOCUMENTS_DIR=\"$HOME/Docs\n",
                             "XDG_DOCUMENTS_DIRS=\"$HOME/Docs\"\n"}) {
        writeUserDirs(text);
        EXPECT_EQ(documentsFolder(), home() + "/Documents") << text;
    }
    fs::remove(fs::path(home()) / "Documents");
    EXPECT_EQ(documentsFolder(), home());

    // A trailing slash on HOME does not double up.
    env.set("HOME", (home() + "/").c_str());
    EXPECT_EQ(documentsFolder(), home());
}

TEST(ShellItemIdList, FailuresLeaveNothingToUse)
{
    LPITEMIDLIST list = reinterpret_cast<LPITEMIDLIST>(1);
    EXPECT_EQ(SHGetSpecialFolderLocation(0, 0x0010, &list), E_INVALIDARG);
    EXPECT_EQ(list, nullptr);
    EXPECT_EQ(SHGetSpecialFolderLocation(0, CSIDL_PERSONAL, nullptr), E_INVALIDARG);

    char path[MAX_PATH] = "stale";
    EXPECT_FALSE(SHGetPathFromIDListA(nullptr, path));
    EXPECT_STREQ(path, "");

    // A documents folder longer than MAX_PATH has a list but no path that fits.
    Environment env;
    std::string longHome = "/" + std::string(MAX_PATH, 'h');
    env.set("HOME", longHome.c_str());
    ASSERT_EQ(SHGetSpecialFolderLocation(0, CSIDL_PERSONAL, &list), S_OK);
    std::strcpy(path, "stale");
    EXPECT_FALSE(SHGetPathFromIDListA(list, path));
    EXPECT_STREQ(path, "");
    CoTaskMemFree(list);

    // One character less than MAX_PATH fits, with its terminating zero.
    std::string fits = "/" + std::string(MAX_PATH - 2, 'h');
    env.set("HOME", fits.c_str());
    ASSERT_EQ(SHGetSpecialFolderLocation(0, CSIDL_PERSONAL, &list), S_OK);
    EXPECT_TRUE(SHGetPathFromIDListA(list, path));
    EXPECT_EQ(path, fits);
    ILFree(list);
}
