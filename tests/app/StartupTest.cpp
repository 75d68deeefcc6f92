#include <gtest/gtest.h>

#include "app/Program.h"
#include "common/ViewerFixture.h"

namespace kavro::testing {
namespace {

class StartupTest : public ViewerTest {};

TEST_F(StartupTest, WordsBecomeNames) {
    auto& v = Start("mk command;extra dark four");
    EXPECT_EQ(v.RomName, "mk");
    EXPECT_EQ(v.DocName, "command;extra");
    EXPECT_EQ(v.StyleName, "dark");
    auto& w = Start("mk  command");
    EXPECT_EQ(w.DocName, "");
    EXPECT_EQ(w.StyleName, "command");
}

TEST_F(StartupTest, EmptyCommandLineShowsTheUsageAndNoWindow) {
    toolkit::HeadlessServices services(Home().string(), "", 19200, 14400);
    std::string error;
    app::Viewer v(services, toolkit::FontEngine::Create("Consolas", &error));
    v.ProgramName = "kv";
    EXPECT_FALSE(app::Main(v));
    // The program as it was invoked, with this platform's line ends.
    EXPECT_EQ(services.LastMessage(),
              "Kavro will NOT run without command line options!\n\n"
              "USAGE:  kv rom docname [stylename]\n\n"
              "Example:  kv mk command");
    EXPECT_EQ(v.form.Width, 14640) << "the window keeps its design size";
}

TEST_F(StartupTest, MissingDocumentWordIsAnError) {
    for (const char* line : {"mk", "   ", " mk "}) {
        toolkit::HeadlessServices services(Home().string(), line, 19200, 14400);
        std::string error;
        app::Viewer v(services, toolkit::FontEngine::Create("Consolas", &error));
        EXPECT_THROW(app::Main(v), app::CommandLineError) << line;
    }
}

// Starts a viewer whose platform hands over these argument words.
class ArgumentTest : public ViewerTest {
  protected:
    app::Viewer& StartWith(std::vector<std::string> words) {
        services_ = std::make_unique<toolkit::HeadlessServices>(Home().string(), std::move(words),
                                                                19200.0f, 14400.0f);
        std::string error;
        viewer_ = std::make_unique<app::Viewer>(*services_,
                                                toolkit::FontEngine::Create("Consolas", &error));
        viewer_->form.Resize = [v = viewer_.get()] { app::Form_Resize(*v); };
        started_ = app::Main(*viewer_);
        return *viewer_;
    }
    bool started_ = false;
    std::unique_ptr<toolkit::HeadlessServices> services_;
    std::unique_ptr<app::Viewer> viewer_;
};

TEST_F(ArgumentTest, WordsAreTakenAsTheyArriveBlanksIncluded) {
    auto& v = StartWith({"/roms/My Games/mk.zip", "my notes;command", "dark style", "four"});
    EXPECT_EQ(v.RomName, "mk");
    EXPECT_EQ(v.DocName, "my notes;command");
    EXPECT_EQ(v.StyleName, "dark style");
    EXPECT_EQ(services_->CommandLine(), "/roms/My Games/mk.zip my notes;command dark style four");
    auto& w = StartWith({"mk", ""});
    EXPECT_EQ(w.DocName, "") << "an empty word is kept: the load driver then uses command";
    EXPECT_EQ(w.StyleName, "");
}

TEST_F(ArgumentTest, OneArgumentWithBlanksIsAWholeCommandLine) {
    auto& v = StartWith({" mk  command "});
    EXPECT_EQ(v.RomName, "mk");
    EXPECT_EQ(v.DocName, "");
    EXPECT_EQ(v.StyleName, "command");
    EXPECT_THROW(StartWith({"mk"}), app::CommandLineError) << "one word names no document";
    EXPECT_THROW(StartWith({"   "}), app::CommandLineError);
    EXPECT_THROW(StartWith({"", "command"}), app::CommandLineError);
    for (const std::vector<std::string>& nothing :
         {std::vector<std::string>{}, std::vector<std::string>{""}}) {
        StartWith(nothing);
        EXPECT_FALSE(started_);
        EXPECT_EQ(services_->LastMessage(), app::UsageMessage("kavro"));
    }
}

TEST_F(ArgumentTest, ItemNamesFromArchiveFileNames) {
    const auto none = [](const std::string&) { return false; };
    EXPECT_EQ(app::RomNameFromWord("/roms/mame/mk.zip", none), "mk");
    EXPECT_EQ(app::RomNameFromWord("C:\\My Roms\\mk.7z", none), "mk");
    EXPECT_EQ(app::RomNameFromWord("mk.zip", none), "mk");
    EXPECT_EQ(app::RomNameFromWord("roms/mk", none), "mk");
    EXPECT_EQ(app::RomNameFromWord("mk", none), "mk");
    EXPECT_EQ(app::RomNameFromWord("/roms/.mk", none), ".mk") << "a leading dot is no extension";
    EXPECT_EQ(app::RomNameFromWord("mk.tar.gz", none), "mk.tar");
    // A folder named exactly as the word wins, whatever the word looks like.
    const auto all = [](const std::string&) { return true; };
    EXPECT_EQ(app::RomNameFromWord("mk.zip", all), "mk.zip");
    EXPECT_EQ(app::RomNameFromWord("roms/mk.zip", all), "roms/mk.zip");

    Write("metadata/mk/command.xml", "<d><section>\nx\n</section></d>");
    auto& bare = StartWith({"mk.zip", "command"});
    EXPECT_EQ(bare.RomName, "mk");
    app::timLoad_Timer(bare);
    EXPECT_TRUE(bare.Loaded);
    auto& path = StartWith({"/roms/My Games/mk.zip", "command"});
    app::timLoad_Timer(path);
    EXPECT_EQ(path.RomName, "mk");
    EXPECT_TRUE(path.Loaded);
    Write("metadata/mk.zip/command.xml", "<d><section>\ny\n</section></d>");
    EXPECT_EQ(StartWith({"mk.zip", "command"}).RomName, "mk.zip");
    // The lookup joins the word to the metadata folder: an absolute word looks below it too.
    EXPECT_EQ(StartWith({"/mk.zip", "command"}).RomName, "/mk.zip");
    EXPECT_EQ(StartWith({"/tmp", "command"}).RomName, "tmp");
}

TEST_F(StartupTest, WindowCoversTheScreenAndTheTimerLoadsOnce) {
    Write("metadata/mk/command.xml", "<d><info t=\"Hello\"/><section>\nx\n</section></d>");
    auto& v = Start("mk command", 1920, 1080);
    EXPECT_EQ(v.form.Width, 28800);
    EXPECT_EQ(v.form.Height, 16200);
    EXPECT_TRUE(v.form.timLoad.Enabled);
    EXPECT_EQ(v.form.timLoad.Interval, 100);
    app::timLoad_Timer(v);
    EXPECT_FALSE(v.form.timLoad.Enabled);
    EXPECT_EQ(v.form.Caption, "Hello");
    EXPECT_EQ(v.CurrentSection, 1);
}

struct GeometryCase {
    int w, h;
    bool zoomed;
    float fw, fh, left, top;
};

class GeometryTest : public ViewerTest, public ::testing::WithParamInterface<GeometryCase> {};

TEST_P(GeometryTest, ScreenAreaFollowsOrientationAndZoom) {
    const GeometryCase c = GetParam();
    if (c.zoomed) Write("kavro.ini", "[Settings]\nZoomed=True\n");
    auto& v = Start("mk command", c.w, c.h);
    const auto& fra = v.form.fraScreenArea;
    EXPECT_NEAR(fra.Width, c.fw, 0.01);
    EXPECT_NEAR(fra.Height, c.fh, 0.01);
    EXPECT_NEAR(fra.Left, c.left, 0.01);
    EXPECT_NEAR(fra.Top, c.top, 0.01);
    // The scroll buttons sit in the area's right-hand corners.
    EXPECT_FLOAT_EQ(v.form.cmdUp.Left + v.form.cmdUp.Width, fra.Left + fra.Width);
    EXPECT_FLOAT_EQ(v.form.cmdUp.Top, fra.Top);
    EXPECT_FLOAT_EQ(v.form.cmdDown.Top + v.form.cmdDown.Height, fra.Top + fra.Height);
}

INSTANTIATE_TEST_SUITE_P(Screens, GeometryTest,
                         ::testing::Values(GeometryCase{1920, 1080, false, 21546, 16200, 3627, 0},
                                           GeometryCase{1920, 1080, true, 28800, 21600, 0, 0},
                                           GeometryCase{1080, 1920, false, 16200, 21600, 0, 3600},
                                           GeometryCase{1080, 1920, true, 38304, 28800, 0, 0},
                                           GeometryCase{1024, 768, false, 15321.6f, 11520, 19.2f,
                                                        0},
                                           // A square screen counts as portrait.
                                           GeometryCase{1000, 1000, false, 15000, 11250, 0, 1875}));

}  // namespace
}  // namespace kavro::testing
