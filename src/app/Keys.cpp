#include "app/Keys.h"

#include <algorithm>

#include "app/LoadDriver.h"
#include "app/Navigation.h"
#include "app/Resume.h"
#include "app/Settings.h"
#include "app/WindowGeometry.h"

namespace kavro::app {

namespace {

void ToggleAndReload(Viewer& v, bool& flag) {
    flag = !flag;
    Form_Resize(v);
    app::cmdLoad_Click(v);
    // A reload builds fresh controls: keep the border display the user asked for.
    if (v.BordersShown) SetBorders(v, 1);
}

}  // namespace

void RunAction(Viewer& v, Action action) {
    switch (action) {
        case Action::ScrollUp:
            cmdUp_Click(v);
            break;
        case Action::ScrollDown:
            cmdDown_Click(v);
            break;
        case Action::PrevSection:
            cmdLastSect_Click(v);
            break;
        case Action::NextSection:
            cmdNextSect_Click(v);
            break;
        case Action::Exit:
            SaveSettings(v);
            RememberPlace(v);
            v.sys.End(0);
            break;
        case Action::Zoom:
            ToggleAndReload(v, v.Zoomed);
            break;
        case Action::RemoveImages:
            ToggleAndReload(v, v.NoImages);
            break;
        case Action::RemoveFormatting:
            ToggleAndReload(v, v.NoFormatting);
            break;
        case Action::PageUp:
            PageUp(v);
            break;
        case Action::PageDown:
            PageDown(v);
            break;
        case Action::FirstSection:
            GoToSection(v, 1);
            break;
        case Action::LastSection:
            GoToSection(v, v.doc.SectionCount());
            break;
    }
}

void Form_KeyDown(Viewer& v, int KeyCode, int /*Shift*/) {
    // By Action, so the first setting in the order of precedence wins.
    const std::int16_t codes[kActionCount] = {
        v.ScrollUpKey, v.ScrollDownKey, v.PrevSectionKey,  v.NextSectionKey,
        v.ExitKey,     v.ZoomKey,       v.RemoveImagesKey, v.RemoveFormattingKey,
        v.PageUpKey,   v.PageDownKey,   v.FirstSectionKey, v.LastSectionKey};
    for (std::size_t i = 0; i < kActionCount; ++i) {
        if (KeyCode == codes[i]) {
            RunAction(v, static_cast<Action>(i));
            return;
        }
    }
    if (v.BordersKey && KeyCode == *v.BordersKey) {
        v.BordersShown = !v.BordersShown;
        SetBorders(v, v.BordersShown ? 1 : 0);
    } else if (KeyCode == 0) {
        SetBorders(v, 1);
    }
}

void Form_MouseWheel(Viewer& v, int notches) {
    // A fast spin delivers many notches at once: a bound keeps one event short.
    constexpr int kMaxNotches = 100;
    const Action action = notches > 0 ? Action::ScrollUp : Action::ScrollDown;
    const long count = notches > 0 ? notches : -static_cast<long>(notches);
    for (long n = std::min<long>(count, kMaxNotches); n > 0; --n)
        RunAction(v, action);
}

void Form_ControllerDown(Viewer& v, const toolkit::ControllerInput& input) {
    for (std::size_t i = 0; i < kActionCount; ++i) {
        const auto& inputs = v.ControllerInputs[i];
        if (std::find(inputs.begin(), inputs.end(), input) != inputs.end()) {
            RunAction(v, static_cast<Action>(i));
            return;
        }
    }
}

void SetBorders(Viewer& v, int BorderStyle) {
    auto& f = v.form;
    for (int i = 0; i <= f.lblText.UBound(); ++i)
        if (auto* label = f.lblText.At(i)) label->BorderStyle = BorderStyle;
    for (int i = 0; i <= f.imgPH.UBound(); ++i) {
        if (auto* holder = f.imgPH.At(i)) holder->BorderStyle = BorderStyle;
        if (auto* image = f.imgImage.At(i)) image->BorderStyle = BorderStyle;
    }
    for (int i = 0; i <= f.imgIco.UBound(); ++i)
        if (auto* icon = f.imgIco.At(i)) icon->BorderStyle = BorderStyle;
}

}  // namespace kavro::app
