#include "document/MarkupReader.h"
#include "imaging/PictureFiles.h"
#include "layout/LayoutContext.h"

namespace kavro::layout {

namespace {

// The item's own folder first, then the default folder; empty when neither has the file.
std::string FindItemFile(const Load& v, const char* folder, const std::string& name) {
    const std::string metadata = v.sys.AppPath() + "/metadata/";
    if (const std::string& own = v.state.FindFile(metadata + v.RomName + "/" + folder + "/" + name);
        !own.empty())
        return own;
    return v.state.FindFile(metadata + "default/" + folder + "/" + name);
}

void HideNextField(std::vector<std::string>& fields, std::size_t j) {
    if (j + 1 < fields.size()) fields[j + 1] = "~";
}

}  // namespace

void PlaceIcon(LayoutContext& c, std::vector<std::string>& fields, std::size_t j) {
    auto& v = c.v;
    if (v.NoFormatting) return;
    const std::string path = FindItemFile(v, "icons", document::CodeValue(fields[j]) + ".gif");
    if (path.empty()) return;

    const int index = AllocateIcon(c);
    if (c.line_first_icon == -1) c.line_first_icon = index;
    toolkit::Image* icon = v.form.imgIco.At(index);
    if (!icon) return;
    icon->Container = c.surface;
    icon->Stretch = true;
    icon->Top = static_cast<float>(c.y);
    const float side = v.form.TextHeight("-");
    icon->Height = side;
    icon->Width = side;
    icon->Left = static_cast<float>(c.x);
    icon->SetPicture(imaging::LoadControlPicture(path, *icon, 0, &v.state.pictures));
    c.x = icon->Left + icon->Width;
    HideNextField(fields, j);
    icon->Visible = true;
    c.RaiseLineBottom(icon->Top + icon->Height);
    v.state.LastPlacedKind = "icon";
}

void PlaceImage(LayoutContext& c, std::vector<std::string>& fields, std::size_t j) {
    auto& v = c.v;
    if (v.NoImages || v.NoFormatting) return;
    const document::ImageCode code = document::ParseImageCode(document::CodeValue(fields[j]));
    if (code.source.empty()) return;
    const std::string path = FindItemFile(v, "images", code.source);
    if (path.empty()) return;

    const int index = AllocateImage(c);
    if (c.line_first_image == -1) c.line_first_image = index;
    toolkit::Image* image = v.form.imgImage.At(index);
    toolkit::Image* holder = v.form.imgPH.At(index);
    if (!image || !holder) return;
    image->Container = c.surface;
    holder->Container = c.surface;

    const auto& area = v.form.fraScreenArea;
    image->Stretch = true;
    image->Top = static_cast<float>(c.y);
    if (auto height = document::ToDouble(code.height))
        SetSize(image->Height, area.Height * *height * 0.01);
    if (auto width = document::ToDouble(code.width))
        SetSize(image->Width, area.Width * *width * 0.01);
    image->Left = static_cast<float>(c.x);

    holder->Stretch = true;
    holder->Top = static_cast<float>(c.y);
    holder->Height = image->Height;
    holder->Width = image->Width;
    holder->Left = static_cast<float>(c.x);

    const int stretch = document::Val(code.stretch) != 0 ? -1 : 0;
    image->SetPicture(imaging::LoadControlPicture(path, *image, stretch, &v.state.pictures));
    c.x = holder->Left + holder->Width;
    HideNextField(fields, j);
    image->Visible = true;
    c.RaiseLineBottom(holder->Top + holder->Height);
    v.state.LastPlacedKind = "image";
}

}  // namespace kavro::layout
