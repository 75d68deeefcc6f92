// The paging keys, the mouse wheel and the shoulder buttons, through whole loads; positions are
// read from the state dump as a user of --dump sees them.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "app/Dump.h"
#include "app/Navigation.h"
#include "common/ViewerFixture.h"

namespace kavro::testing {
namespace {

constexpr int kPageUp = 33, kPageDown = 34, kEnd = 35, kHome = 36, kDown = 40, kRight = 39;

std::string Lines(int count) {
    std::string text;
    for (int i = 0; i < count; ++i)
        text += "line " + std::to_string(i) + "\n";
    return text;
}

class PagingTest : public ViewerTest {
  protected:
    app::Viewer& LoadThree() {
        v_ = &Load(Head() + "<section>\n" + Lines(200) + "</section><section>\nshort\n" +
                   "</section><section>\n" + Lines(200) + "</section>");
        return *v_;
    }
    nlohmann::json Dump() const { return nlohmann::json::parse(app::DumpState(*v_)); }
    double Top(int i) const { return Dump()["picSection"][i]["Top"].get<double>(); }
    int Current() const { return Dump()["CurrentSection"].get<int>(); }
    double AreaTop() const { return Dump()["fraScreenArea"]["Top"].get<double>(); }
    app::Viewer* v_ = nullptr;
};

TEST(StepsPerPage, AreaLessOneStepInWholeStepsAtLeastOne) {
    EXPECT_EQ(app::StepsPerPage(1000, 100), 9);
    EXPECT_EQ(app::StepsPerPage(999.9f, 100), 8) << "just below ten steps";
    EXPECT_EQ(app::StepsPerPage(1000.1f, 100), 9) << "just above ten steps";
    EXPECT_EQ(app::StepsPerPage(200, 100), 1);
    EXPECT_EQ(app::StepsPerPage(199, 100), 1) << "less than one step left still moves";
    EXPECT_EQ(app::StepsPerPage(50, 100), 1);
    EXPECT_EQ(app::StepsPerPage(1000, 0), 1);
    EXPECT_EQ(app::StepsPerPage(1e9f, 1), 10000);
}

TEST_F(PagingTest, PageDownAndPageUpMoveByTheAreaLessOneStep) {
    auto& v = LoadThree();
    const double step = v.form.TextHeight("0");
    const int steps = app::StepsPerPage(v.form.fraScreenArea.Height, v.form.TextHeight("0"));
    ASSERT_GT(steps, 1);
    const double top = AreaTop();
    Key(kPageUp);
    EXPECT_DOUBLE_EQ(Top(0), top) << "nothing above the first section";
    Key(kPageDown);
    EXPECT_NEAR(Top(0), top - steps * step, 0.05);
    EXPECT_LE(steps * step, v.form.fraScreenArea.Height - step + 0.05)
        << "the last line of the page stays in view";
    Key(kPageDown);
    EXPECT_NEAR(Top(0), top - 2 * steps * step, 0.05);
    Key(kPageUp);
    Key(kPageUp);
    EXPECT_NEAR(Top(0), top, 0.05);
}

TEST_F(PagingTest, PageDownStopsAtTheEndLikeSingleSteps) {
    auto& v = LoadThree();
    for (int i = 0; i < 1000; ++i)
        Key(kPageDown);
    const auto& area = v.form.fraScreenArea;
    const auto& last = v.form.picSection[2];
    const float step = v.form.TextHeight("0");
    EXPECT_LE(last.Top + last.Height, area.Top + area.Height);
    EXPECT_GT(last.Top + last.Height, area.Top + area.Height - step);
    EXPECT_EQ(Current(), 3);
}

TEST_F(PagingTest, HomeAndEndPutTheFirstAndLastSectionAtTheTop) {
    LoadThree();
    const double top = AreaTop();
    Key(kRight);
    Key(kDown);
    Key(kHome);
    EXPECT_EQ(Current(), 1);
    EXPECT_DOUBLE_EQ(Top(0), top);
    Key(kEnd);
    EXPECT_EQ(Current(), 3);
    EXPECT_DOUBLE_EQ(Top(2), top);
    Key(kEnd);
    EXPECT_EQ(Current(), 3) << "End again stays on the last section";
    EXPECT_DOUBLE_EQ(Top(2), top);
}

TEST_F(PagingTest, EightActionsKeepTheirKeysWhereCodesCollide) {
    // PageDown set to the Down arrow's code, and the Right arrow given to FirstSection: the
    // scroll and section keys still do their own action.
    Write("kavro.ini", "[Input]\nPageDown=Down\nFirstSection=39\nLastSection=q\n");
    auto& v = LoadThree();
    const double top = AreaTop();
    const double step = v.form.TextHeight("0");
    Key(kDown);
    EXPECT_NEAR(Top(0), top - step, 0.05) << "one step, not a page";
    Key(kRight);
    EXPECT_EQ(Current(), 2) << "next section, not the first";
    Key(kPageDown);
    EXPECT_EQ(Current(), 2) << "34 is no longer a paging key";
    Key('Q');
    EXPECT_EQ(Current(), 3);
    EXPECT_EQ(Dump()["settings"]["LastSectionKey"], 'Q');
}

TEST_F(PagingTest, WheelScrollsOneStepPerNotch) {
    auto& v = LoadThree();
    const double top = AreaTop();
    const double step = v.form.TextHeight("0");
    app::Form_MouseWheel(v, -3);
    EXPECT_NEAR(Top(0), top - 3 * step, 0.05);
    app::Form_MouseWheel(v, 1);
    EXPECT_NEAR(Top(0), top - 2 * step, 0.05);
    app::Form_MouseWheel(v, 0);
    EXPECT_NEAR(Top(0), top - 2 * step, 0.05);
    app::Form_MouseWheel(v, 1000);
    EXPECT_DOUBLE_EQ(Top(0), top) << "up stops at the top";
}

TEST_F(PagingTest, ShoulderButtonsPage) {
    auto& v = LoadThree();
    const double top = AreaTop();
    const int steps = app::StepsPerPage(v.form.fraScreenArea.Height, v.form.TextHeight("0"));
    using Input = toolkit::ControllerInput;
    app::Form_ControllerDown(v, Input{Input::Kind::ControllerButton, "rightshoulder", 0, 0});
    EXPECT_NEAR(Top(0), top - steps * v.form.TextHeight("0"), 0.05);
    app::Form_ControllerDown(v, Input{Input::Kind::ControllerButton, "leftshoulder", 0, 0});
    EXPECT_DOUBLE_EQ(Top(0), top);
}

TEST_F(PagingTest, PagingBeforeTheLoadDoesNothing) {
    auto& v = Start();
    v_ = &v;
    for (const int key : {kPageDown, kPageUp, kHome, kEnd})
        Key(key);
    app::Form_MouseWheel(v, -1);
    EXPECT_EQ(v.CurrentSection, 0);
}

}  // namespace
}  // namespace kavro::testing
