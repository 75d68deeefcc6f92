#include "layout/PaintSection.h"

#include <cmath>

#include "document/Conversions.h"
#include "imaging/PictureFiles.h"
#include "layout/LayoutContext.h"
#include "forms/DataPaths.h"

namespace kavro::layout {

namespace {

// A band height so small, or a surface so tall, that the bands would run into the millions is
// not a background anyone can see: drawing stops there instead of exhausting memory.
constexpr int kMaxBands = 100000;
// The growth loops add whole screens or bands; past this many the content is absurd.
constexpr int kMaxGrowthSteps = 1000000;

template <class T>
double BottomOfLast(const toolkit::ControlArray<T>& array) {
    const T* last = array.At(array.UBound());
    return last ? static_cast<double>(last->Top + last->Height) : 0;
}

// The content bottom: the lowest bottom edge of what the section placed on its own surface
// (items of other sections, and the hidden design-time elements, are not its content).
double ContentBottom(const Load& v) {
    return v.state.SectionContent.Bottom;
}

// Moves what the section placed by dx, so that it keeps its screen column when its surface
// moves the other way.
void ShiftContent(const Load& v, float dx) {
    auto& f = v.form;
    const auto& placed = v.state.SectionContent;
    auto shift = [dx](auto& array, int first) {
        if (first < 0) return;
        for (int i = first; i <= array.UBound(); ++i)
            if (auto* control = array.At(i)) control->Left += dx;
    };
    shift(f.lblText, placed.FirstLabel);
    shift(f.imgIco, placed.FirstIcon);
    shift(f.imgImage, placed.FirstImage);
    shift(f.imgPH, placed.FirstImage);
}

// Adds step to height until done(height); bounded.
template <class Done>
void Grow(float& height, double step, Done done) {
    if (!(step > 0) || !std::isfinite(step)) return;
    for (int i = 0; i < kMaxGrowthSteps && !done(height); ++i)
        height = static_cast<float>(height + step);
}

// With tried, the paths looked at are put in it when no folder has the file.
std::string FindBackgroundPicture(const Load& v, const std::string& source,
                                  std::vector<std::string>* tried = nullptr) {
    return FindInMetadata(v, {"default/images/" + source, v.RomName + "/images/" + source}, tried);
}

}  // namespace

void PaintSection(const Load& v, int n) {
    auto& f = v.form;
    toolkit::PictureBox* surface = f.picSection.At(n - 1);
    if (!surface || n < 1) return;
    const BackgroundRegion row = n < static_cast<int>(v.state.BackgroundRegions.size())
                                     ? v.state.BackgroundRegions[n]
                                     : BackgroundRegion{};
    const auto& area = f.fraScreenArea;

    double band_width = area.Width;
    v.state.CenterOffset = 0;
    if (row.Style && *row.Style == "3") band_width = f.Width;

    // The picture, when it can be shown: an undecodable or empty one counts as none.
    toolkit::PicturePtr picture;
    double band_height = 0;
    const std::string source = document::FieldText(row.Source);
    std::string path;  // kept for the authoring check at the end
    std::vector<std::string> tried;
    if (!v.NoFormatting && !source.empty()) {
        path = FindBackgroundPicture(v, source, v.diagnostics ? &tried : nullptr);
        if (!path.empty()) {
            picture = imaging::LoadPictureFile(path, &v.state.pictures);
            if (picture && !picture->IsEmpty()) {
                const double width = document::RoundHalfEven(picture->Width());
                const double height = document::RoundHalfEven(picture->Height());
                band_height = height * (area.Width / width);
            } else {
                picture.reset();
            }
        }
    }
    const auto style = document::FieldNumber(row.Style);
    if (!picture || !style) {
        f.picSwatch.Picture = toolkit::MakeEmptyPicture();
        surface->BackColor = row.Colour.value_or(0);
    }
    // A style that is not a number keeps the surface as laid out, in its colour.
    if (!style) return;

    float& height = surface->Height;
    if (*style == 0) {
        const double content = ContentBottom(v);
        if (content > height) Grow(height, area.Height, [&](float h) { return h >= content; });
    } else if (*style == 1) {
        const double content = ContentBottom(v);
        if (!picture) {
            height = static_cast<float>(content + 0.025 * area.Height);
        } else {
            height = static_cast<float>(band_height);
            if (content > height) Grow(height, band_height, [&](float h) { return h > content; });
        }
    } else if (*style == 2) {
        surface->AutoSize = false;
        const std::string& kind = v.state.LastPlacedKind;
        double content = 0;
        bool known = true;
        if (kind == "text")
            content = BottomOfLast(f.lblText);
        else if (kind == "icon")
            content = BottomOfLast(f.imgIco);
        else if (kind == "image")
            content = BottomOfLast(f.imgPH);
        else
            known = false;
        if (known) height = static_cast<float>(content + 0.025 * area.Height);
    } else if (*style == 3) {
        // The surface spans the window; its content stays in the column of every other
        // section's, so it moves right by as much as the surface's left edge moved left.
        v.state.CenterOffset = surface->Left;
        surface->Left = 0;
        surface->Width = f.Width;
        ShiftContent(v, v.state.CenterOffset);
        v.state.CenterPending = true;
        const double content = ContentBottom(v);
        Grow(height, area.Height, [&](float h) { return !(h < content); });
    }

    if (v.diagnostics && !v.NoFormatting)
        CheckBackground(v, n, source, tried, path, picture, band_height, height,
                        static_cast<int>(*style));
    if (!picture || !(band_height > 0) || !std::isfinite(band_height)) return;
    const double surface_height = height;
    auto draw = [&](double y) {
        surface->PaintPicture(picture, 0, static_cast<float>(y), static_cast<float>(band_width),
                              static_cast<float>(band_height));
    };

    if (*style != 2) {
        const double count = surface_height / band_height;
        double y = 0;
        for (int i = 0; i <= count && i < kMaxBands; ++i, y += band_height)
            draw(y);
        return;
    }

    // Continuous: the bands go on from the surface above when it shows the same picture.
    const BackgroundRegion previous =
        n - 1 < static_cast<int>(v.state.BackgroundRegions.size())
            ? v.state.BackgroundRegions[static_cast<std::size_t>(n - 1)]
            : BackgroundRegion{};
    const auto previous_style = document::FieldNumber(previous.Style);
    const bool continues = v.state.TileCarry != 0 &&
                           document::FieldText(previous.Source) == source && previous_style &&
                           *previous_style == 2;
    double y;
    if (continues) {
        draw(-v.state.TileCarry);
        y = band_height - v.state.TileCarry;
    } else {
        draw(0);
        y = band_height;
        v.state.TileCarry = 0;
    }
    // Counted with the carry this surface actually continues (none when it starts afresh), so
    // that the bands reach the bottom edge and no further than into one last band.
    const double count = (surface_height + v.state.TileCarry) / band_height;
    int drawn = 0;
    for (int i = 0; i <= count - 1 && drawn < kMaxBands; ++i, ++drawn, y += band_height)
        draw(y);
    // Rounding may leave a sliver uncovered: close it rather than leave it black.
    for (; y < surface_height && drawn < kMaxBands; ++drawn, y += band_height)
        draw(y);
    // The part of the last band on this surface, in [0, T): the next surface shows the rest.
    // A last band that ends exactly at the bottom edge leaves nothing to continue.
    const double carry = y > surface_height ? band_height - (y - surface_height) : 0;
    v.state.TileCarry = carry > 0 && carry < band_height ? static_cast<float>(carry) : 0;
}

}  // namespace kavro::layout
