#include "document/MarkupReader.h"
#include "layout/LayoutContext.h"
#include "layout/LayoutSection.h"

namespace kavro::layout {

int FindBgMacro(const Load& v, std::string_view name) {
    return document::FindMacro(v.doc.BgMacros, name);
}

void StartBackground(LayoutContext& c, const std::string& name) {
    auto& v = c.v;
    c.bg_macro = FindBgMacro(v, name);
    BackgroundRegion row;
    row.Colour = MacroColour(v.doc.BgMacros, c.bg_macro);
    row.FirstLabel = v.form.lblText.UBound() + 1;
    if (v.doc.BgMacros.HasColumn(c.bg_macro) && c.bg_macro > 0) {
        row.Source = v.doc.BgMacros.Get(5, c.bg_macro);
        row.Style = v.doc.BgMacros.Get(1, c.bg_macro);
    }
    v.state.BackgroundRegions.push_back(std::move(row));
}

void EndBackground(LayoutContext& c) {
    c.bg_macro = 1;
    c.v.state.BackgroundRegions.back().LastLabel = c.v.form.lblText.UBound();
}

}  // namespace kavro::layout
