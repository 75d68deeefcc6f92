#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "cli/CommandWords.h"
#include "cli/Options.h"

namespace kavro::testing {
namespace {

TEST(SplitWords, SplitsAtEverySingleBlank) {
    using V = std::vector<std::string>;
    EXPECT_EQ(app::SplitWords("mk command"), (V{"mk", "command"}));
    EXPECT_EQ(app::SplitWords("  mk command  "), (V{"mk", "command"}));
    EXPECT_EQ(app::SplitWords("mk  command"), (V{"mk", "", "command"}));
    EXPECT_EQ(app::SplitWords("   "), (V{""}));
}

TEST(Options, AreTakenOutOfTheWords) {
    const auto o = app::ParseOptions({"--home", "/x", "mk", "--screen=800x600", "command", "--keys",
                                      "Down,Right,27", "--dump", "-"});
    EXPECT_EQ(o.home, "/x");
    EXPECT_EQ(o.screen, std::make_pair(800, 600));
    EXPECT_EQ(o.words, (std::vector<std::string>{"mk", "command"}));
    EXPECT_EQ(o.keys, (std::vector<int>{40, 39, 27}));
    EXPECT_EQ(o.dump, "-");
    EXPECT_THROW(app::ParseOptions({"--screen", "800"}), std::invalid_argument);
    EXPECT_THROW(app::ParseOptions({"--keys", "Down,Nope"}), std::invalid_argument);
    EXPECT_THROW(app::ParseOptions({"--bogus"}), std::invalid_argument);
    EXPECT_THROW(app::ParseOptions({"--home"}), std::invalid_argument);
}

TEST(Options, ShortHelpAndTheEndOfOptions) {
    EXPECT_TRUE(app::ParseOptions({"-h"}).help);
    EXPECT_FALSE(app::ParseOptions({"mk", "command"}).help);
    const auto o = app::ParseOptions({"--dump", "-", "mk", "--", "--x", "-h", "--help"});
    EXPECT_FALSE(o.help);
    EXPECT_EQ(o.dump, "-");
    EXPECT_EQ(o.words, (std::vector<std::string>{"mk", "--x", "-h", "--help"}));
    EXPECT_THROW(app::ParseOptions({"mk", "-x"}), std::invalid_argument)
        << "a single dash starts an option too";
    EXPECT_EQ(app::ParseOptions({"mk", "--", "-x"}).words, (std::vector<std::string>{"mk", "-x"}));
    EXPECT_EQ(app::ParseOptions({"mk", "--", "--"}).words, (std::vector<std::string>{"mk", "--"}));
    try {
        app::ParseOptions({"mk", "--x", "--"});
        FAIL() << "an unknown option before -- was taken";
    } catch (const std::invalid_argument& e) {
        EXPECT_STREQ(e.what(), "unknown option --x (see kavro --help)");
    }
}

TEST(OptionsTest, RefusedCombinationsNameBothOptions) {
    const struct {
        std::vector<std::string> args;
        const char* refusal;  // "" when accepted
    } cases[] = {
        {{"-x", "mk", "command"}, "unknown option -x"},
        {{"--", "-x", "mk"}, ""},
        {{"-", "mk"}, ""},
        {{"-h"}, ""},
        {{"--check", "--dump", "-", "mk", "command"}, "--check and --dump cannot be used together"},
        {{"--check", "--quiet", "mk", "command"}, ""},
        {{"--import", "a.dat", "--render", "y.png"},
         "--import and --render cannot be used together"},
        {{"--import", "a.dat", "--check"}, "--import and --check cannot be used together"},
        {{"--import", "a.dat", "--import", "b.dat"}, "--import is given twice"},
        {{"--render", "a.png", "--render=b.png", "mk", "command"}, "--render is given twice"},
        {{"--import", "a.dat", "mk"}, "--import takes no rom or document words"},
        {{"--quiet", "mk", "command"}, "--quiet only goes with --check"},
        {{"--watch", "--dump", "-", "mk", "command"}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        std::string refusal;
        try {
            app::ParseOptions(c.args);
        } catch (const std::invalid_argument& e) {
            refusal = e.what();
        }
        if (*c.refusal)
            EXPECT_NE(refusal.find(c.refusal), std::string::npos) << refusal;
        else
            EXPECT_EQ(refusal, "");
    }
}

}  // namespace
}  // namespace kavro::testing
