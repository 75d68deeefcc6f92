#include <filesystem>

#include "document/MarkupReader.h"
#include "imaging/PictureFiles.h"
#include "layout/LayoutContext.h"
#include "forms/DataPaths.h"

namespace kavro::layout {

namespace {

// A name a document gives may not reach outside the metadata folders: not absolute, and no
// ".." that climbs above the folder it is looked up in.
bool StaysInside(std::string_view relative) {
    if (relative.empty() || relative.front() == '/') return false;
    const std::filesystem::path normal = std::filesystem::path(relative).lexically_normal();
    return normal.empty() || *normal.begin() != "..";
}

}  // namespace

std::string FindInMetadata(const Load& v, std::initializer_list<std::string_view> relatives,
                           std::vector<std::string>* tried) {
    const auto& roots = v.sys.MetadataRoots();
    for (std::string_view relative : relatives)
        if (!StaysInside(relative)) {
            if (tried)
                *tried = {std::string(relative) +
                          " (refused: it leads outside the metadata folders)"};
            return std::string();
        }
    std::string found = toolkit::FindInRoots(
        roots, relatives, [&v](const std::string& path) { return v.state.FindFile(path); });
    if (found.empty() && tried) {
        tried->clear();
        for (const std::string& root : roots)
            for (std::string_view relative : relatives)
                tried->push_back(root + "/" + std::string(relative));
    }
    return found;
}

namespace {

// The item's own folder first, then the default folder; empty when neither has the file.
// With tried, the paths looked at are put in it when no folder has the file.
std::string FindItemFile(const Load& v, const char* folder, const std::string& name,
                         std::vector<std::string>* tried = nullptr) {
    // A move list names the same few icons thousands of times.
    auto [known, added] = v.state.itemFiles.try_emplace(std::string(folder) + "/" + name);
    if (!added && !(tried && known->second.empty())) return known->second;
    const std::string own = v.RomName + "/" + folder + "/" + name;
    const std::string fallback = std::string("default/") + folder + "/" + name;
    known->second = FindInMetadata(v, {own, fallback}, tried);
    return known->second;
}

void HideNextField(std::vector<std::string>& fields, std::size_t j) {
    // Filled, not copied from a literal: GCC 12 at -O3 wrongly reports an overlapping copy
    // (-Wrestrict) for assigning "~" here.
    if (j + 1 < fields.size()) fields[j + 1].assign(1, '~');
}

}  // namespace

void PlaceIcon(LayoutContext& c, std::vector<std::string>& fields, std::size_t j) {
    auto& v = c.v;
    if (v.NoFormatting) return;
    const std::string name = document::CodeValue(fields[j]);
    std::vector<std::string> tried;
    const std::string path =
        FindItemFile(v, "icons", name + ".gif", v.diagnostics ? &tried : nullptr);
    if (path.empty()) return ReportMissingFile(c, j, "icon \"" + name + "\"", tried);

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
    CheckPicture(c, j, "icon", path, icon->Picture());
    c.x = icon->Left + icon->Width;
    CheckFits(c, j, *icon, nullptr);
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
    std::vector<std::string> tried;
    const std::string path =
        FindItemFile(v, "images", code.source, v.diagnostics ? &tried : nullptr);
    if (path.empty()) return ReportMissingFile(c, j, "image \"" + code.source + "\"", tried);

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
    CheckPicture(c, j, "image", path, image->Picture());
    c.x = holder->Left + holder->Width;
    CheckFits(c, j, *holder, nullptr);
    HideNextField(fields, j);
    image->Visible = true;
    c.RaiseLineBottom(holder->Top + holder->Height);
    v.state.LastPlacedKind = "image";
}

}  // namespace kavro::layout
