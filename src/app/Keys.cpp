#include "app/Keys.h"

#include "app/Navigation.h"
#include "app/Settings.h"
#include "app/WindowGeometry.h"
#include "document/LoadDriver.h"

namespace kavro::app {

namespace {

void ToggleAndReload(Viewer& v, bool& flag) {
    flag = !flag;
    Form_Resize(v);
    document::cmdLoad_Click(v);
    // A reload builds fresh controls: keep the border display the user asked for.
    if (v.BordersShown) SetBorders(v, 1);
}

}  // namespace

void Form_KeyDown(Viewer& v, int KeyCode, int /*Shift*/) {
    if (KeyCode == v.ScrollUpKey) {
        cmdUp_Click(v);
    } else if (KeyCode == v.ScrollDownKey) {
        cmdDown_Click(v);
    } else if (KeyCode == v.PrevSectionKey) {
        cmdLastSect_Click(v);
    } else if (KeyCode == v.NextSectionKey) {
        cmdNextSect_Click(v);
    } else if (KeyCode == v.ExitKey) {
        SaveSettings(v);
        v.sys.End(0);
    } else if (KeyCode == v.ZoomKey) {
        ToggleAndReload(v, v.Zoomed);
    } else if (KeyCode == v.RemoveImagesKey) {
        ToggleAndReload(v, v.NoImages);
    } else if (KeyCode == v.RemoveFormattingKey) {
        ToggleAndReload(v, v.NoFormatting);
    } else if (v.BordersKey && KeyCode == *v.BordersKey) {
        v.BordersShown = !v.BordersShown;
        SetBorders(v, v.BordersShown ? 1 : 0);
    } else if (KeyCode == 0) {
        SetBorders(v, 1);
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
