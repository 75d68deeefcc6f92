#include "app/Navigation.h"

#include <algorithm>

namespace kavro::app {

namespace {

// Places every surface directly above and below the anchor surface of the current section.
void Restack(Viewer& v) {
    auto& sections = v.form.picSection;
    const int anchor = v.CurrentSection - 1;
    const int upper = sections.UBound();
    for (int i = anchor - 1; i >= 0; --i) {
        auto* surface = sections.At(i);
        const auto* below = sections.At(i + 1);
        if (surface && below) surface->Top = below->Top - surface->Height;
    }
    for (int i = anchor + 1; i <= upper; ++i) {
        auto* surface = sections.At(i);
        const auto* above = sections.At(i - 1);
        if (surface && above) surface->Top = above->Top + above->Height;
    }
}

// The highest section whose bottom edge lies inside the screen area, both edges included.
void FindCurrentSection(Viewer& v) {
    const auto& area = v.form.fraScreenArea;
    const float area_bottom = area.Top + area.Height;
    auto& sections = v.form.picSection;
    for (int i = 0; i <= sections.UBound(); ++i) {
        const auto* surface = sections.At(i);
        if (!surface) continue;
        const float bottom = surface->Top + surface->Height;
        if (bottom <= area_bottom && bottom >= area.Top) v.CurrentSection = i + 1;
    }
}

toolkit::PictureBox* Anchor(Viewer& v) {
    if (!v.Loaded) return nullptr;
    return v.form.picSection.At(v.CurrentSection - 1);
}

// The sections that can be shown: a document past the control limit has more sections than
// surfaces, and only those with a surface can be gone to.
int SectionsShown(const Viewer& v) {
    return std::min(v.doc.SectionCount(), v.form.picSection.UBound() + 1);
}

void Reanchor(Viewer& v) {
    auto* anchor = Anchor(v);
    if (!anchor) return;
    anchor->Top = v.form.fraScreenArea.Top;
    Restack(v);
}

}  // namespace

void cmdUp_Click(Viewer& v) {
    auto* anchor = Anchor(v);
    const auto* first = v.form.picSection.At(0);
    if (!anchor || !first) return;
    if (first->Top >= v.form.fraScreenArea.Top) return;
    anchor->Top += v.form.TextHeight("0");
    Restack(v);
    FindCurrentSection(v);
}

void cmdDown_Click(Viewer& v) {
    auto* anchor = Anchor(v);
    const auto* last = v.form.picSection.At(v.form.picSection.UBound());
    if (!anchor || !last) return;
    const auto& area = v.form.fraScreenArea;
    const float strip_bottom = last->Top + last->Height;
    const float area_bottom = area.Top + area.Height;
    if (area_bottom >= strip_bottom) return;
    anchor->Top -= v.form.TextHeight("0");
    Restack(v);
    FindCurrentSection(v);
}

void cmdLastSect_Click(Viewer& v) {
    const int sections = SectionsShown(v);
    // Without sections there is no section to go back to.
    if (!v.Loaded || sections == 0) return;
    if (v.CurrentSection <= 1)
        v.CurrentSection = sections;
    else
        --v.CurrentSection;
    Reanchor(v);
}

void cmdNextSect_Click(Viewer& v) {
    if (!v.Loaded) return;
    const int sections = SectionsShown(v);
    if (v.CurrentSection < sections)
        ++v.CurrentSection;
    else
        v.CurrentSection = 1;
    Reanchor(v);
}

int StepsPerPage(float area_height, float step) {
    if (!(step > 0) || !(area_height > 0)) return 1;
    const float steps = (area_height - step) / step;
    // The bound keeps a degenerate font from turning one key into millions of steps.
    constexpr float kMaxSteps = 10000;
    if (!(steps >= 1)) return 1;
    return static_cast<int>(std::min(steps, kMaxSteps));
}

void PageUp(Viewer& v) {
    for (int n = StepsPerPage(v.form.fraScreenArea.Height, v.form.TextHeight("0")); n > 0; --n)
        cmdUp_Click(v);
}

void PageDown(Viewer& v) {
    for (int n = StepsPerPage(v.form.fraScreenArea.Height, v.form.TextHeight("0")); n > 0; --n)
        cmdDown_Click(v);
}

void GoToSection(Viewer& v, int k) {
    if (!v.Loaded || k < 1 || k > v.doc.SectionCount()) return;
    v.CurrentSection = static_cast<std::int16_t>(k);
    Reanchor(v);
}

}  // namespace kavro::app
