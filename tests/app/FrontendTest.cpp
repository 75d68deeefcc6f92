// What frontends start the viewer for: asking which documents a game has (--list), a move list
// shown for a few seconds before the game (--seconds, --any-key), and a document turning its
// sections beside a running game (--cycle). Time is the services' clock, moved by hand.
#include <gtest/gtest.h>

#include <iostream>
#include <sstream>

#include "app/Program.h"
#include "app/Settings.h"
#include "app/Unattended.h"
#include "cli/DocumentList.h"
#include "common/ViewerFixture.h"

namespace kavro::testing {
namespace {

constexpr const char* kMoveList =
    "$info=mk,mkla\n$cmd\n[Moves]\nUppercut _2 + _P\n$end\n"
    "$info=sf2\n$cmd\n[Moves]\nFireball _2_3_6 + _P\n$end\n";
constexpr const char* kHistory = "$info=mk\n$bio\nA fighting game.\n$end\n";

class FrontendTest : public ViewerTest {
  protected:
    // The whole program with these arguments; standard output in *out.
    int Run(std::vector<std::string> args, std::string* out = nullptr) {
        args.insert(args.begin(), {"kavro", "--home", Home().string()});
        std::vector<char*> argv;
        for (std::string& arg : args)
            argv.push_back(arg.data());
        std::ostringstream captured;
        std::streambuf* const previous = std::cout.rdbuf(captured.rdbuf());
        const int status = app::RunProgram(static_cast<int>(argv.size()), argv.data());
        std::cout.rdbuf(previous);
        if (out) *out = captured.str();
        return status;
    }
    std::string Listing(const std::string& rom, std::vector<std::string> options = {}) {
        std::string out;
        options.insert(options.begin(), "--list");
        options.push_back(rom);
        const int status = Run(options, &out);
        EXPECT_EQ(status, out.empty() ? 3 : 0) << rom;
        return out;
    }
    // Moves the clock and ticks the countdown; the status when it ended the program.
    std::optional<int> Elapse(app::Viewer& v, int ms) {
        Services().AdvanceClock(ms);
        try {
            app::timCountdown_Timer(v);
        } catch (const toolkit::ProgramEnd& end) {
            return end.status;
        }
        return std::nullopt;
    }
    app::Viewer& LoadThreeSections() {
        return Load(Head() +
                    "<section>one</section><section>two</section><section>three</section>");
    }
};

TEST_F(FrontendTest, ListNamesEverySourceKindOnceTheWayTheViewerLoadsIt) {
    Write("metadata/mk/command.xml", "<d/>");
    Write("metadata/mk/howto.xml", "<d/>");
    Write("metadata/mk/.hidden.xml", "<d/>");
    Write("metadata/mk/dark.sxml", "<d/>");
    Write("metadata/mk/notes.txt", "");
    Write("metadata/command.dat", kMoveList);  // mk has its own command.xml: that one is shown
    Write("metadata/history.dat", kHistory);
    Write("metadata/story.dat", kMoveList);  // any name of a data file is a document name
    // The user's own folder comes first (here below the program folder, so relative too).
    Write("user-data/kavro/metadata/mk/howto.xml", "<d/>");
    struct Case {
        std::string rom, expected;
    } cases[] = {
        {"mk",
         "command\txml:metadata/mk/command.xml\nhistory\tdat:metadata/history.dat\n"
         "howto\txml:user-data/kavro/metadata/mk/howto.xml\nstory\tdat:metadata/story.dat\n"},
        // A clone listed in an entry, and a game's file as a frontend passes it.
        {"mkla", "command\tdat:metadata/command.dat\nstory\tdat:metadata/story.dat\n"},
        {"/roms/arcade/sf2.zip",
         "command\tdat:metadata/command.dat\nstory\tdat:metadata/story.dat\n"},
        {"nothing", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Listing(c.rom), c.expected) << c.rom;
}

TEST_F(FrontendTest, ListFollowsSystemParentHistoryXmlAndManuals) {
    Write("metadata/history.xml",
          "<history><entry><systems><system name=\"sf2\"/></systems>"
          "<text>A fighting game.</text></entry><entry><software><item list=\"nes\" "
          "name=\"zelda\"/></software><text>An adventure.</text></entry></history>");
    Write("metadata/gameinit.dat", "$info=sf2\n$mame\n\n$end\n");  // empty: no entry
    Write("metadata/sf2/manual/p1.png", "");
    Write("metadata/nes/zelda/howto.xml", "<d/>");
    struct Case {
        std::string rom;
        std::vector<std::string> options;
        std::string expected;
    } cases[] = {
        {"sf2", {}, "history\txml:metadata/history.xml\nmanual\tfolder:metadata/sf2/manual\n"},
        {"sf2ce", {}, ""},
        {"sf2ce",
         {"--parent", "sf2"},
         "history\txml:metadata/history.xml\nmanual\tfolder:metadata/sf2/manual\n"},
        {"zelda",
         {"--system", "nes"},
         "history\txml:metadata/history.xml\nhowto\txml:metadata/nes/zelda/howto.xml\n"},
        {"zelda", {}, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Listing(c.rom, c.options), c.expected) << c.rom << " " << c.options.size();
}

TEST_F(FrontendTest, ListNeedsOneGameAndTakesOnlyDataFilesWithTheGame) {
    EXPECT_EQ(Run({"--list"}), 1);
    EXPECT_EQ(Run({"--list", "mk", "command"}), 1);
    Write("metadata/broken.dat", "");
    std::filesystem::create_directory(Home() / "metadata" / "folder.dat");
    Write("metadata/history.dat", kHistory);
    import::DatLibrary library;
    app::ListRequest request;
    request.rom = "mk";
    const auto listed = app::ListDocuments({(Home() / "metadata").string()}, request, library);
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed[0].name, "history");
    EXPECT_EQ(listed[0].kind, "dat");
}

TEST_F(FrontendTest, CountdownEndsAtItsSecondWithoutSavingAndShowsTheTimeLeft) {
    Write("kavro.ini", "[Settings]\r\nSeconds=3\r\nZoomed=False\r\n");
    const std::string before = ReadBack("kavro.ini");
    app::Viewer& v = LoadThreeSections();
    ASSERT_EQ(v.Seconds, 3);
    app::StartUnattended(v);
    const auto& bar = v.form.picCountdown[0];
    EXPECT_TRUE(bar.Visible);
    EXPECT_FLOAT_EQ(bar.Width, v.form.Width);
    EXPECT_FLOAT_EQ(bar.Top + bar.Height, v.form.Height);
    EXPECT_EQ(Elapse(v, 1000), std::nullopt);
    EXPECT_NEAR(bar.Width, v.form.Width * 2 / 3, 1);
    EXPECT_EQ(Elapse(v, 1999), std::nullopt) << "a millisecond before its end";
    EXPECT_TRUE(bar.Visible);
    Key(v.ZoomKey);  // a toggle that the end must not save
    EXPECT_TRUE(v.Zoomed);
    EXPECT_EQ(Elapse(v, 1), 0);
    EXPECT_EQ(ReadBack("kavro.ini"), before);
}

TEST_F(FrontendTest, AnyInputPausesTheCountdownUntilTheNext) {
    app::Viewer& v = LoadThreeSections();
    v.Seconds = 2;
    app::StartUnattended(v);
    EXPECT_EQ(Elapse(v, 500), std::nullopt);
    app::AnyInput(v);
    EXPECT_TRUE(v.countdown.paused);
    EXPECT_FALSE(v.form.timCountdown.Enabled);
    EXPECT_EQ(v.form.picCountdown[0].BackColor, 128 + 256 * 128 + 65536 * 128);
    EXPECT_EQ(Elapse(v, 60000), std::nullopt) << "paused";
    EXPECT_EQ(v.countdown.left_ms, 1500);
    app::AnyInput(v);
    EXPECT_FALSE(v.countdown.paused);
    EXPECT_TRUE(v.form.timCountdown.Enabled);
    EXPECT_EQ(Elapse(v, 1499), std::nullopt);
    EXPECT_EQ(Elapse(v, 1), 0);
}

TEST_F(FrontendTest, CycleTurnsTheSectionsAndWrapsWithoutACountdown) {
    app::Viewer& v = LoadThreeSections();
    v.CycleSeconds = 4;
    app::StartUnattended(v);
    EXPECT_TRUE(v.form.timCycle.Enabled);
    EXPECT_EQ(v.form.timCycle.Interval, 4000);
    EXPECT_FALSE(v.form.timCountdown.Enabled);
    EXPECT_FALSE(v.form.picCountdown[0].Visible);
    std::vector<int> shown;
    for (int i = 0; i < 4; ++i) {
        app::timCycle_Timer(v);
        shown.push_back(v.CurrentSection);
        EXPECT_EQ(v.form.picSection[v.CurrentSection - 1].Top, v.form.fraScreenArea.Top);
    }
    EXPECT_EQ(shown, (std::vector<int>{2, 3, 1, 2}));
}

TEST_F(FrontendTest, AnyKeyEndsWithZeroAndSavesNothingWhereTheExitKeySaves) {
    Write("metadata/mk/command.xml", "<d>" + Head() + "<section>text</section></d>");
    Write("kavro.ini", "");  // beside the program: the one the viewer writes
    const std::string png = (Home() / "shot.png").string();
    EXPECT_EQ(Run({"--render", png, "--any-key", "--keys", "Space", "mk", "command"}), 0);
    EXPECT_EQ(ReadBack("kavro.ini"), "");
    EXPECT_TRUE(std::filesystem::exists(png));
    EXPECT_EQ(Run({"--render", png, "--keys", "Space,Esc", "mk", "command"}), 0);
    EXPECT_NE(ReadBack("kavro.ini").find("NoFormatting=True"), std::string::npos);
    // AnyKey in the settings file does the same.
    Write("kavro.ini", "[Settings]\r\nAnyKey=True\r\n");
    EXPECT_EQ(Run({"--render", png, "--keys", "Space", "mk", "command"}), 0);
    EXPECT_EQ(ReadBack("kavro.ini"), "[Settings]\r\nAnyKey=True\r\n");
}

TEST_F(FrontendTest, OptionsAndSettingsRefuseValuesOutOfRange) {
    struct Case {
        std::vector<std::string> args;
        bool ok;
    } cases[] = {
        {{"--seconds", "0"}, true},      {{"--seconds", "32767"}, true},
        {{"--seconds", "32768"}, false}, {{"--seconds", "-1"}, false},
        {{"--seconds", "5s"}, false},    {{"--cycle", "1"}, true},
        {{"--cycle", "0"}, false},       {{"--display=1"}, true},
        {{"--display", ""}, false},      {{"--any-key", "--passive"}, true},
    };
    for (const Case& c : cases) {
        bool parsed = true;
        try {
            app::ParseOptions(c.args);
        } catch (const std::invalid_argument&) {
            parsed = false;
        }
        EXPECT_EQ(parsed, c.ok) << c.args[0] << " " << (c.args.size() > 1 ? c.args[1] : "");
    }
    const auto read = [this](const std::string& line) {
        Write("kavro.ini", "[Settings]\n" + line + "\n");
        return app::ReadSettings((Home() / "kavro.ini").string());
    };
    EXPECT_EQ(read("Seconds=12").Seconds, 12);
    EXPECT_TRUE(read("AnyKey=true").AnyKey);
    EXPECT_EQ(read("Display=1").Display, 1);
    EXPECT_EQ(read("").Display, 0);
    for (const char* bad : {"Seconds=-1", "Seconds=x", "AnyKey=maybe", "Display=256"})
        EXPECT_THROW(read(bad), app::SettingsError) << bad;
}

}  // namespace
}  // namespace kavro::testing
