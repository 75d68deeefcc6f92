// Documents, style files, icons and pictures of the user's own metadata folder
// ($XDG_DATA_HOME/kavro/metadata) are looked up before the installed ones.
#include <gtest/gtest.h>

#include "common/ViewerFixture.h"

namespace kavro::testing {
namespace {

class UserDataTest : public ViewerTest {
  protected:
    // A file below the user's metadata folder.
    void WriteUser(const std::string& relative, const std::string& content) {
        Write("user-data/kavro/metadata/" + relative, content);
    }
    static bool From(const toolkit::PicturePtr& picture, const std::string& tail) {
        return picture && picture->Source().ends_with(tail);
    }
};

TEST_F(UserDataTest, TheUsersDocumentWinsAndInstalledOnesStillLoad) {
    Write("metadata/mk/command.xml", "<d>" + Head() + "<section>\ninstalled\n</section></d>");
    Write("metadata/mk/extra.xml", "<d>" + Head() + "<section>\nextra\n</section></d>");
    WriteUser("mk/command.xml", "<d>" + Head() + "<section>\nmine\n</section></d>");
    auto& v = Start("mk command;extra");
    app::timLoad_Timer(v);
    ASSERT_EQ(v.doc.SectionCount(), 2);
    EXPECT_EQ(v.form.lblText[0].Caption(), "mine");
    EXPECT_EQ(v.form.lblText[1].Caption(), "extra");
}

TEST_F(UserDataTest, AMissingDocumentNamesTheInstalledPlace) {
    WriteUser("mk/other.xml", "<d/>");
    auto& v = Start("mk nosuch");
    try {
        app::cmdLoad_Click(v);
        FAIL() << "a missing document must fail the load";
    } catch (const document::LoadError& e) {
        EXPECT_NE(std::string(e.what()).find((Home() / "metadata/mk/nosuch.xml").string()),
                  std::string::npos)
            << e.what();
    }
}

TEST_F(UserDataTest, TheUsersStyleFileWins) {
    Write("metadata/default/wide.sxml", "<s><head><textwidth>60</textwidth></head></s>");
    WriteUser("default/wide.sxml", "<s><head><textwidth>77</textwidth></head></s>");
    auto& v = Load(Head() + "<section>\nA\n</section>", "mk command wide");
    EXPECT_EQ(v.doc.LineChars, 77);
}

TEST_F(UserDataTest, IconsAndPicturesPerFolderUserFirst) {
    WritePicture("metadata/default/icons/star.gif", 8, 8);
    WritePicture("user-data/kavro/metadata/default/icons/star.gif", 8, 8);
    // The item's folder still comes before the default folder, wherever each one is.
    WritePicture("metadata/mk/icons/coin.gif", 8, 8);
    WritePicture("user-data/kavro/metadata/default/icons/coin.gif", 8, 8);
    WritePicture("user-data/kavro/metadata/mk/images/pic.png", 8, 8);
    WritePicture("metadata/mk/images/pic.png", 8, 8);
    WritePicture("user-data/kavro/metadata/default/images/band.png", 8, 8);
    WritePicture("metadata/default/images/band.png", 8, 8);
    auto& v = Load(Head("<bgmacro name=\"b\" style=\"0\" color=\"0,0,0\" src=\"band.png\"/>") +
                   "<section bg=\"b\">\n<icon name=\"star\"></icon><icon name=\"coin\"></icon>"
                   "<img src=\"pic.png\" width=\"10\" height=\"10\"/>\n</section>");
    EXPECT_TRUE(
        From(v.form.imgIco[0].Picture(), "user-data/kavro/metadata/default/icons/star.gif"));
    EXPECT_TRUE(From(v.form.imgIco[1].Picture(), (Home() / "metadata/mk/icons/coin.gif").string()));
    EXPECT_TRUE(From(v.form.imgImage[0].Picture(), "user-data/kavro/metadata/mk/images/pic.png"));
    const auto& bands = v.form.picSection[0].Bands();
    ASSERT_FALSE(bands.empty());
    EXPECT_TRUE(From(bands.front().picture, "user-data/kavro/metadata/default/images/band.png"));
}

}  // namespace
}  // namespace kavro::testing
