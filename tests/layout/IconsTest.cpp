#include <gtest/gtest.h>

#include "common/ViewerFixture.h"

namespace kavro::testing {
namespace {

using toolkit::Image;
using toolkit::Label;

class IconsTest : public ViewerTest {
protected:
    // Icons are looked up as <name>.gif; the toolkit decodes by content, so PNG data will do.
    void Icon(const std::string& folder, const std::string& name, int w, int h) {
        WritePicture("metadata/" + folder + "/icons/" + name + ".gif", w, h);
    }
    std::vector<const Label*> Labels(const app::Viewer& v) {
        std::vector<const Label*> out;
        v.form.lblText.ForEach([&](const Label& l) {
            if (l.Visible) out.push_back(&l);
        });
        return out;
    }
};

TEST_F(IconsTest, ItemFolderWinsAndTheElementTextIsHidden) {
    Icon("default", "star", 40, 40);
    Icon("mk", "star", 20, 20);
    auto& v = Load(Head() + "<section>\nA<icon name=\"star\">hidden</icon>B\n</section>");
    const Image& icon = v.form.imgIco[0];
    ASSERT_TRUE(icon.Visible);
    ASSERT_TRUE(icon.Picture());
    EXPECT_NE(icon.Picture()->Source().find("/metadata/mk/icons/star.gif"), std::string::npos);
    const float side = v.form.TextHeight("-");
    EXPECT_FLOAT_EQ(icon.Width, side);
    EXPECT_FLOAT_EQ(icon.Height, side);
    auto labels = Labels(v);
    ASSERT_EQ(labels.size(), 2u);
    EXPECT_EQ(labels[0]->Caption(), "A");
    EXPECT_EQ(labels[1]->Caption(), "B");
    EXPECT_FLOAT_EQ(icon.Left, labels[0]->Left + labels[0]->Width);
    EXPECT_FLOAT_EQ(labels[1]->Left, icon.Left + icon.Width);
}

TEST_F(IconsTest, WideIconIsFittedAndCentredButAlignedOnItsOwnBottom) {
    Icon("default", "wide", 40, 20);
    auto& v = Load(Head() + "<section>\n<font name=\"big\">X</font><icon name=\"wide\"/>\n</section>");
    const Image& icon = v.form.imgIco[0];
    const float side = v.form.TextHeight("-");
    EXPECT_FLOAT_EQ(icon.Width, side);
    EXPECT_FLOAT_EQ(icon.Height, side / 2);
    const Label& big = v.form.lblText[0];
    EXPECT_FLOAT_EQ(icon.Top + icon.Height, big.Top + big.Height) << "moved down onto the line";
}

TEST_F(IconsTest, IconLastOnItsLineAndIconBeforeTheClosingField) {
    Icon("default", "star", 16, 16);
    auto& v = Load(Head() + "<section>\nx|ic=star\n<icon name=\"star\"></icon>\n</section>");
    EXPECT_TRUE(v.form.imgIco[0].Visible);
    EXPECT_TRUE(v.form.imgIco[1].Visible);
    auto labels = Labels(v);
    ASSERT_EQ(labels.size(), 2u) << "x, and the empty run after the second icon";
    EXPECT_EQ(labels[1]->Caption(), "");
    EXPECT_FLOAT_EQ(labels[1]->Left, v.form.imgIco[1].Left + v.form.imgIco[1].Width);
}

TEST_F(IconsTest, MissingIconsAndViewFlagsShowTheElementText) {
    Icon("default", "star", 16, 16);
    WritePicture("metadata/default/images/pic.png", 20, 10);
    const std::string body = Head() +
                             "<section>\n<icon name=\"nosuch\">one</icon>"
                             "<icon name=\"star\">two</icon><img src=\"pic.png\" width=\"10\" "
                             "height=\"10\">three</img>\n</section>";
    {
        auto& v = Load(body);
        std::vector<std::string> captions;
        for (auto* l : Labels(v)) captions.push_back(l->Caption());
        // The hidden text of the image is the line's last field: an empty run.
        EXPECT_EQ(captions, (std::vector<std::string>{"one", ""}));
        EXPECT_TRUE(v.form.imgImage[0].Visible);
    }
    Write("kavro.ini", "[Settings]\nNoImages=True\n");
    {
        auto& v = Load(body);
        EXPECT_TRUE(v.form.imgIco[0].Visible) << "NoImages keeps icons";
        EXPECT_FALSE(v.form.imgImage[0].Visible);
        std::vector<std::string> captions;
        for (auto* l : Labels(v)) captions.push_back(l->Caption());
        EXPECT_EQ(captions, (std::vector<std::string>{"one", "three"}));
    }
    Write("kavro.ini", "[Settings]\nNoFormatting=True\n");
    {
        auto& v = Load(body);
        EXPECT_FALSE(v.form.imgIco[0].Visible);
        std::vector<std::string> captions;
        for (auto* l : Labels(v)) captions.push_back(l->Caption());
        EXPECT_EQ(captions, (std::vector<std::string>{"one", "two", "three"}));
    }
}

TEST_F(IconsTest, ImageBoxIsAPercentageOfTheScreenArea) {
    WritePicture("metadata/mk/images/photo.jpg", 100, 50);
    // An 800 x 800 screen (portrait) gives a 12000 x 9000 screen area.
    auto& v = Load(Head() + "<section>\n<img src=\"photo.jpg\" width=\"50\" height=\"25\" "
                            "stretch=\"0\"/>after\n</section>",
                   "mk command", 800, 800);
    ASSERT_EQ(v.form.fraScreenArea.Width, 12000);
    ASSERT_EQ(v.form.fraScreenArea.Height, 9000);
    const Image& holder = v.form.imgPH[0];
    const Image& image = v.form.imgImage[0];
    EXPECT_FLOAT_EQ(holder.Width, 6000);
    EXPECT_FLOAT_EQ(holder.Height, 2250);
    EXPECT_FALSE(holder.Visible);
    // 100 x 50 fitted into 6000 x 2250: fit the height, centred horizontally.
    EXPECT_FLOAT_EQ(image.Height, 2250);
    EXPECT_FLOAT_EQ(image.Width, 4500);
    EXPECT_FLOAT_EQ(image.Left, holder.Left + 750);
    const Label& after = v.form.lblText[0];
    EXPECT_FLOAT_EQ(after.Left, holder.Left + 6000) << "the cursor advances by the whole box";
    EXPECT_FLOAT_EQ(after.Top + after.Height, holder.Top + holder.Height);
}

TEST_F(IconsTest, StretchValuesAndBadSizes) {
    WritePicture("metadata/default/images/p.png", 100, 50);
    auto& v = Load(Head() + "<section>\n|im=p.png,10,10,1||im=p.png,10,10,0||im=p.png,10,10,||"
                            "im=p.png,10,10,x||im=p.png,abc,,1||im=,10,10,1|\n</section>",
                   "mk command", 800, 800);
    ASSERT_EQ(v.form.imgImage.UBound(), 4) << "an empty file name places nothing";
    EXPECT_FLOAT_EQ(v.form.imgImage[0].Height, 900) << "stretched: the whole box";
    for (int i = 1; i <= 3; ++i) EXPECT_FLOAT_EQ(v.form.imgImage[i].Height, 600) << i;
    // Sizes that are not numbers keep what the new control had.
    EXPECT_FLOAT_EQ(v.form.imgPH[4].Width, v.form.imgImage[4].Width);
    EXPECT_TRUE(v.form.imgImage[4].Visible);
}

TEST_F(IconsTest, CorruptPicturesStillLayOutTheSection) {
    Write("metadata/default/icons/empty.gif", "");
    Write("metadata/default/icons/junk.gif", std::string("GIF89a\x10\x00", 8));
    Write("metadata/default/images/fake.png", "\xff\xd8\xff not really a jpeg");
    // A PNG header claiming 30000 x 30000 pixels.
    Write("metadata/default/images/huge.png",
          std::string("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\0\0\x75\x30\0\0\x75\x30\x08\x06\0\0\0", 29));
    auto& v = Load(Head() + "<section>\nA<icon name=\"empty\"/><icon name=\"junk\"/>"
                            "<img src=\"fake.png\" width=\"10\" height=\"10\"/>"
                            "<img src=\"huge.png\" width=\"10\" height=\"10\"/>B\n</section>");
    auto labels = Labels(v);
    ASSERT_EQ(labels.size(), 2u);
    EXPECT_EQ(labels[1]->Caption(), "B");
    EXPECT_TRUE(v.form.imgIco[1].Visible);
    EXPECT_TRUE(v.form.imgImage[1].Visible);
    EXPECT_FALSE(v.form.imgImage[1].Picture() && !v.form.imgImage[1].Picture()->IsEmpty());
}

}  // namespace
}  // namespace kavro::testing
