#include "layout/LayoutSection.h"

#include <cmath>
#include <stdexcept>

#include "document/MarkupReader.h"
#include "layout/LayoutContext.h"

namespace kavro::layout {

using document::FieldCode;

namespace {

template <class T>
double BottomOf(const T* control) {
    return control ? static_cast<double>(control->Top + control->Height) : -1;
}

// A line that placed nothing ends at the bottom of the item placed last in the section.
double BottomOfLastPlaced(const LayoutContext& c) {
    const auto& f = c.v.form;
    const std::string& kind = c.v.state.LastPlacedKind;
    if (kind == "icon") return BottomOf(f.imgIco.At(f.imgIco.UBound()));
    if (kind == "image") return BottomOf(f.imgPH.At(f.imgPH.UBound()));
    if (kind == "text") return BottomOf(f.lblText.At(f.lblText.UBound()));
    return c.y;
}

void EndLine(LayoutContext& c) {
    auto& f = c.v.form;
    // Every item of a line ends on the line bottom, so the content ends on the last line
    // that placed something.
    if (c.line_bottom == -1)
        c.line_bottom = BottomOfLastPlaced(c);
    else if (c.line_bottom > c.placed.Bottom)
        c.placed.Bottom = c.line_bottom;
    const auto bottom = static_cast<float>(c.line_bottom);

    if (c.line_first_icon >= 0) {
        for (int i = c.line_first_icon; i <= f.imgIco.UBound(); ++i)
            if (auto* icon = f.imgIco.At(i); icon && icon->Top + icon->Height < bottom)
                icon->Top = bottom - icon->Height;
    }
    if (c.line_first_image >= 0) {
        for (int i = c.line_first_image; i <= f.imgImage.UBound(); ++i) {
            auto* holder = f.imgPH.At(i);
            if (!holder || !(holder->Top + holder->Height < bottom)) continue;
            holder->Top = bottom - holder->Height;
            if (auto* image = f.imgImage.At(i))
                image->Top = holder->Top + (holder->Height - image->Height) / 2;
        }
    }
    if (c.line_first_label >= 0) {
        for (int i = c.line_first_label; i <= f.lblText.UBound(); ++i)
            if (auto* label = f.lblText.At(i); label && label->Top + label->Height < bottom)
                label->Top = bottom - label->Height;
    }
    c.y = c.line_bottom;
    c.x = c.x0;
}

void HandleField(LayoutContext& c, std::vector<std::string>& fields, std::size_t j) {
    // The handlers below change other fields, never this one before it is read.
    const std::string& field = fields[j];
    if (document::IsLongField(field)) {
        switch (document::Classify(field)) {
            case FieldCode::FontStart:
                c.font_macro = c.macros.FontColumn(c.v, document::CodeValue(field));
                CheckMacroName(c, j, c.v.doc.FontMacros, document::CodeValue(field), "font");
                return;
            case FieldCode::Icon:
                PlaceIcon(c, fields, j);
                return;
            case FieldCode::Image:
                PlaceImage(c, fields, j);
                return;
            case FieldCode::FontEnd:
                c.font_macro = 1;
                return;
            case FieldCode::BgStart:
                StartBackground(c, document::CodeValue(field));
                CheckMacroName(c, j, c.v.doc.BgMacros, document::CodeValue(field), "background");
                return;
            case FieldCode::BgEnd:
                EndBackground(c);
                return;
            case FieldCode::Text:
                PlaceTextRun(c, fields, j, false);
                return;
        }
    }
    if (document::IsShownShortField(fields, j)) PlaceTextRun(c, fields, j, true);
}

}  // namespace

void LayoutSection(const Load& v, int s) {
    if (s < 0 || s + 1 > v.doc.SectionCount())
        throw std::out_of_range("section " + std::to_string(s + 1) + " does not exist");
    const std::vector<std::string_view> lines = document::SplitLines(v.doc.SectionMarkup[s + 1]);

    auto& f = v.form;
    v.state.LastPlacedKind.clear();
    v.state.SectionContent = {};
    if (s > 0) f.picSection.Load(s);
    toolkit::PictureBox* surface = f.picSection.At(s);
    // Past the control limit there is no surface to lay anything out on.
    if (!surface) return;
    const auto& area = f.fraScreenArea;
    if (s > 0) {
        if (const auto* above = f.picSection.At(s - 1)) surface->Top = above->Top + above->Height;
    } else {
        surface->Top = area.Top;
    }
    surface->Left = area.Left;
    surface->Width = area.Width;
    surface->Height = area.Height;

    // Element 0 gets the base size only while it holds no run of this load: a first section
    // of a single run has put its own size on it.
    if (v.state.LastLabelIndex == 0 && !f.lblText[0].Visible) {
        f.lblText[0].SetFontSize(f.FontSize());
        f.lblText[0].SetAutoSize(true);
    }

    LayoutContext c{v, surface};
    c.section = s;
    std::size_t line_offset = 0;
    c.y = 0.025 * surface->Height;
    c.x0 = c.x = 0.05 * surface->Width;
    c.placed.Bottom = c.y;

    for (std::string_view raw : lines) {
        std::vector<std::string> fields = document::SplitFields(document::PreparedLine(raw));
        c.line_first_label = c.line_first_icon = c.line_first_image = -1;
        c.line_bottom = -1;
        if (v.diagnostics) NoteLine(c, raw, line_offset);
        line_offset += raw.size() + 1;
        for (std::size_t j = 0; j < fields.size(); ++j)
            HandleField(c, fields, j);
        EndLine(c);
    }

    surface->Visible = true;
    v.state.SectionContent = c.placed;
    v.state.LastLabelIndex = static_cast<std::int16_t>(f.lblText.UBound());
    v.state.LastIconIndex = static_cast<std::int16_t>(f.imgIco.UBound());
    v.state.LastImageIndex = static_cast<std::int16_t>(f.imgImage.UBound());
}

bool SetSize(float& target, double value) {
    if (!std::isfinite(value) || value < 0 || value > 3.0e38) return false;
    target = static_cast<float>(value);
    return true;
}

}  // namespace kavro::layout
