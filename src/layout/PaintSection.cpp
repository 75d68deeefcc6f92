#include "layout/PaintSection.h"

#include <cmath>

#include "document/Conversions.h"
#include "imaging/PictureFiles.h"

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

// The content bottom: the lowest bottom edge among the last label, icon and placeholder.
double ContentBottom(const Load& v) {
    const auto& f = v.form;
    double bottom = BottomOfLast(f.lblText);
    const double icon = BottomOfLast(f.imgIco);
    if (icon > bottom) bottom = icon;
    const double holder = BottomOfLast(f.imgPH);
    if (holder > bottom) bottom = holder;
    return bottom;
}

// Adds step to height until done(height); bounded.
template <class Done>
void Grow(float& height, double step, Done done) {
    if (!(step > 0) || !std::isfinite(step)) return;
    for (int i = 0; i < kMaxGrowthSteps && !done(height); ++i)
        height = static_cast<float>(height + step);
}

std::string FindBackgroundPicture(const Load& v, const std::string& source) {
    const std::string metadata = v.sys.AppPath() + "/metadata/";
    const std::string preferred = metadata + "default/images/" + source;
    if (v.state.FileExists(preferred)) return preferred;
    const std::string own = metadata + v.RomName + "/images/" + source;
    if (v.state.FileExists(own)) return own;
    return std::string();
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
    if (row.Style && *row.Style == "3") {
        band_width = f.Width;
        v.state.CenterOffset = (f.Width - area.Width) / 2;
    }

    // The picture, when it can be shown: an undecodable or empty one counts as none.
    toolkit::PicturePtr picture;
    double band_height = 0;
    const std::string source = document::FieldText(row.Source);
    if (!v.NoFormatting && !source.empty()) {
        const std::string path = FindBackgroundPicture(v, source);
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
        surface->Left = 0;
        surface->Width = f.Width;
        v.state.CenterPending = true;
        const double content = ContentBottom(v);
        Grow(height, area.Height, [&](float h) { return !(h < content); });
    }

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
    const double count = (surface_height + v.state.TileCarry) / band_height;
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
    for (int i = 0; i <= count - 1 && i < kMaxBands; ++i, y += band_height)
        draw(y);
    if (y > surface_height) {
        v.state.TileCarry = static_cast<float>(band_height - (y - surface_height));
    } else if (y < surface_height) {
        v.sys.Beep();
    } else {
        // The last band ended exactly at the bottom edge: the next surface starts afresh.
        v.state.TileCarry = 0;
    }
}

}  // namespace kavro::layout
