#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "common/ToolkitTestSupport.h"
#include "forms/DataPaths.h"

namespace kavro::toolkit {
namespace {

namespace fs = std::filesystem;
using testing::TempFolder;

// A made-up environment, so the caller's own variables never matter.
struct FakeEnvironment {
    std::map<std::string, std::string> values;
    EnvironmentLookup Lookup() const {
        return [this](const char* name) -> const char* {
            const auto it = values.find(name);
            return it == values.end() ? nullptr : it->second.c_str();
        };
    }
};

class DataPathsTest : public ::testing::Test {
  protected:
    std::string Path(const std::string& relative) const { return dir_.File(relative); }
    void Folder(const std::string& relative) const { fs::create_directories(Path(relative)); }
    void Touch(const std::string& relative) const { dir_.Write(relative, "x"); }
    DataPaths Find(const std::string& app) const { return FindDataPaths(Path(app), env_.Lookup()); }

    TempFolder dir_;
    FakeEnvironment env_{{{"HOME", dir_.File("home")}}};
};

TEST_F(DataPathsTest, PortableFolderKeepsMetadataBesideTheProgram) {
    Folder("opt/kavro/metadata");
    Folder("opt/share/kavro/metadata");  // beside wins over an installation next to it
    EXPECT_EQ(Find("opt/kavro").metadata_roots,
              std::vector<std::string>{Path("opt/kavro/metadata")});
}

TEST_F(DataPathsTest, InstalledTreeFindsShareBesideBin) {
    Folder("usr/bin");
    Folder("usr/share/kavro/metadata");
    EXPECT_EQ(Find("usr/bin").metadata_roots,
              std::vector<std::string>{Path("usr/share/kavro/metadata")});
}

TEST_F(DataPathsTest, WithoutDataTheFolderBesideTheProgramIsNamed) {
    Folder("nowhere/bin");
    EXPECT_EQ(Find("nowhere/bin").metadata_roots,
              std::vector<std::string>{Path("nowhere/bin/metadata")});
}

TEST_F(DataPathsTest, UserMetadataComesFirstWhenItExists) {
    Folder("usr/bin");
    Folder("usr/share/kavro/metadata");
    // $HOME/.local/share by default; absent folders are not searched.
    EXPECT_EQ(Find("usr/bin").metadata_roots.size(), 1u);
    Folder("home/.local/share/kavro/metadata");
    EXPECT_EQ(Find("usr/bin").metadata_roots,
              (std::vector<std::string>{Path("home/.local/share/kavro/metadata"),
                                        Path("usr/share/kavro/metadata")}));
    // $XDG_DATA_HOME replaces the default; a relative value is ignored.
    Folder("data/kavro/metadata");
    env_.values["XDG_DATA_HOME"] = Path("data");
    EXPECT_EQ(Find("usr/bin").metadata_roots.front(), Path("data/kavro/metadata"));
    env_.values["XDG_DATA_HOME"] = "data";
    EXPECT_EQ(Find("usr/bin").metadata_roots.front(), Path("home/.local/share/kavro/metadata"));
}

TEST_F(DataPathsTest, SettingsBesideTheProgramWinWhenTheFileIsThere) {
    Folder("opt/kavro");
    // No file beside the program: the user's configuration folder.
    EXPECT_EQ(Find("opt/kavro").settings_file, Path("home/.config/kavro/kavro.ini"));
    env_.values["XDG_CONFIG_HOME"] = Path("config");
    EXPECT_EQ(Find("opt/kavro").settings_file, Path("config/kavro/kavro.ini"));
    env_.values["XDG_CONFIG_HOME"] = "relative";
    EXPECT_EQ(Find("opt/kavro").settings_file, Path("home/.config/kavro/kavro.ini"));
    // A folder of that name is no settings file.
    Folder("opt/kavro/kavro.ini");
    EXPECT_EQ(Find("opt/kavro").settings_file, Path("home/.config/kavro/kavro.ini"));
    fs::remove(Path("opt/kavro/kavro.ini"));
    Touch("opt/kavro/kavro.ini");
    EXPECT_EQ(Find("opt/kavro").settings_file, Path("opt/kavro/kavro.ini"));
}

TEST_F(DataPathsTest, WithoutAnyHomeTheSettingsStayBesideTheProgram) {
    env_.values.clear();
    Folder("opt/kavro");
    EXPECT_EQ(Find("opt/kavro").settings_file, Path("opt/kavro/kavro.ini"));
    EXPECT_EQ(Find("opt/kavro").metadata_roots.size(), 1u);
}

TEST(FindInRootsTest, EachRelativePathInEveryRootBeforeTheNext) {
    const std::vector<std::string> roots{"/user", "/installed"};
    std::vector<std::string> asked;
    const auto exists_only = [&asked](std::vector<std::string> present) {
        return [&asked, present](const std::string& path) {
            asked.push_back(path);
            const bool there = std::find(present.begin(), present.end(), path) != present.end();
            return there ? path : std::string();
        };
    };
    EXPECT_EQ(FindInRoots(roots, {"mk/a.gif", "default/a.gif"},
                          exists_only({"/installed/mk/a.gif", "/user/default/a.gif"})),
              "/installed/mk/a.gif");
    EXPECT_EQ(asked, (std::vector<std::string>{"/user/mk/a.gif", "/installed/mk/a.gif"}));
    EXPECT_EQ(FindInRoots(roots, {"mk/a.gif", "default/a.gif"},
                          exists_only({"/user/default/a.gif", "/installed/default/a.gif"})),
              "/user/default/a.gif");
    EXPECT_EQ(FindInRoots(roots, {"mk/a.gif"}, exists_only({})), "");
}

}  // namespace
}  // namespace kavro::toolkit
