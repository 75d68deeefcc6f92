#include <algorithm>
#include <utility>

#include "document/MarkupReader.h"
#include "layout/LayoutContext.h"
#include "layout/LayoutSection.h"

namespace kavro::layout {

namespace {

// The next element of a control array for the allocation rule: the first of a kind in this
// section continues after the previous section's last; later ones take upper bound + 1.
template <class Array>
int Allocate(Array& array, bool& first, std::int16_t last_index) {
    int index;
    if (first) {
        index = last_index + 1;
        if (index > 0) array.Load(index);
        first = false;
    } else {
        index = array.UBound() + 1;
        array.Load(index);
    }
    return index;
}

}  // namespace

int AllocateLabel(LayoutContext& c) {
    const int index = Allocate(c.v.form.lblText, c.first_label, c.v.state.LastLabelIndex);
    if (c.placed.FirstLabel == -1) c.placed.FirstLabel = index;
    return index;
}
int AllocateIcon(LayoutContext& c) {
    const int index = Allocate(c.v.form.imgIco, c.first_icon, c.v.state.LastIconIndex);
    if (c.placed.FirstIcon == -1) c.placed.FirstIcon = index;
    return index;
}
int AllocateImage(LayoutContext& c) {
    auto& f = c.v.form;
    const int index = Allocate(f.imgImage, c.first_image, c.v.state.LastImageIndex);
    if (index > 0) f.imgPH.Load(index);
    if (c.placed.FirstImage == -1) c.placed.FirstImage = index;
    return index;
}

int FindFontMacro(const Load& v, std::string_view name) {
    return document::FindMacro(v.doc.FontMacros, name);
}

std::optional<float> FitFontSize(const Load& v, const document::Field& size_field) {
    auto& form = v.form;
    const float base = form.FontSize();
    const auto size = document::FieldNumber(size_field);
    if (!size) return std::nullopt;
    if (*size == 100) return base;
    const auto key = std::make_pair(base, *size);
    if (auto hit = v.state.fittedSizes.find(key); hit != v.state.fittedSizes.end())
        return hit->second;

    const double target = *size * 0.01 * form.TextWidth("0");
    if (*size > 100) {
        double width = 0;
        while (width < target) {
            if (!form.SetFontSize(form.FontSize() + 1)) break;
            width = form.TextWidth("0");
        }
        if (width > target) form.SetFontSize(form.FontSize() - 1);
    } else {
        double width = target + 12;
        while (width > target) {
            if (!form.SetFontSize(form.FontSize() - 1)) break;
            width = form.TextWidth("0");
        }
    }
    const float result = form.FontSize();
    form.SetFontSize(base);
    v.state.fittedSizes.emplace(key, result);
    return result;
}

std::optional<long> MacroColour(const document::MacroTable& table, int column) {
    if (!table.HasColumn(column)) return std::nullopt;
    long colour = 0;
    long scale = 1;
    for (int field = 2; field <= 4; ++field, scale *= 256) {
        const auto part = document::FieldInteger(table.Get(field, column));
        if (!part || *part < 0) return std::nullopt;
        colour += std::min<long>(*part, 255) * scale;
    }
    return colour;
}

void PlaceTextRun(LayoutContext& c, std::vector<std::string>& fields, std::size_t j,
                  bool short_run) {
    auto& v = c.v;
    const int index = AllocateLabel(c);
    if (c.line_first_label == -1) c.line_first_label = index;
    toolkit::Label* label = v.form.lblText.At(index);
    if (short_run) fields[j] = document::ShortRunText(fields[j]);
    if (!label) return;
    label->Container = c.surface;
    label->SetAutoSize(true);

    const auto& macros = v.doc.FontMacros;
    const int size_macro = v.NoFormatting ? 1 : c.font_macro;
    std::optional<float> points;
    if (macros.HasColumn(size_macro) && size_macro > 0) {
        const auto column = static_cast<std::size_t>(size_macro);
        if (column >= c.macro_points.size()) c.macro_points.resize(column + 1);
        if (!c.macro_points[column])
            c.macro_points[column] = FitFontSize(v, macros.Get(1, size_macro));
        points = *c.macro_points[column];
    }
    // The field is read no more: the label takes its text.
    label->SetCaptionAtSize(std::move(fields[j]), points);
    if (c.font_macro > 0) {
        const auto column = static_cast<std::size_t>(c.font_macro);
        if (column >= c.macro_colours.size()) c.macro_colours.resize(column + 1);
        if (!c.macro_colours[column]) c.macro_colours[column] = MacroColour(macros, c.font_macro);
        if (const std::optional<long>& colour = *c.macro_colours[column])
            label->ForeColor = *colour;
    }

    label->Top = static_cast<float>(c.y);
    label->Left = static_cast<float>(c.x);
    label->Visible = true;
    c.x += label->Width;
    CheckFits(c, j, *label, label);
    c.RaiseLineBottom(label->Top + label->Height);
    v.state.LastPlacedKind = "text";
}

}  // namespace kavro::layout
