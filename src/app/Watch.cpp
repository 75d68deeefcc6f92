#include "app/Watch.h"

#include <optional>

#include "app/LoadDriver.h"
#include "app/Navigation.h"
#include "document/DocumentConverter.h"

namespace kavro::app {

namespace {

constexpr float kBarFontSize = 14.0f;
constexpr float kBarPadding = 90.0f;   // twips above and below the text
constexpr long kBarColour = 0x000090;  // dark red (red + 256 * green + 65536 * blue)
constexpr long kBarTextColour = 0xFFFFFF;

// Reads the documents and the style file as the load driver does, into a scratch copy, so
// that a file that cannot be loaded is found before the view is cleared.
std::optional<document::LoadError> TryParse(Viewer& v) {
    document::ConvertedDocument doc;
    document::HandlerContext context = v.handlerContext;
    document::DocumentConverter reader(doc, context);
    try {
        for (const std::string& name : SplitDocNames(v.DocName)) {
            const std::vector<std::string> documents = DocumentPaths(v, name);
            std::string path = FindFirst(v, documents);
            if (path.empty()) path = documents.back();
            reader.ParseFile(path);
            if (const std::string style = FindFirst(v, StylePaths(v)); !style.empty())
                reader.ParseFile(style);
            if (doc.LineChars < 0)
                return document::LoadError(path, 0, 0, "the line width (textwidth) is negative");
        }
    } catch (const document::LoadError& error) {
        return error;
    }
    return std::nullopt;
}

}  // namespace

std::vector<std::string> WatchedFiles(const Viewer& v) {
    std::vector<std::string> files;
    for (const std::string& name : SplitDocNames(v.DocName))
        for (const std::string& path : DocumentPaths(v, name))
            files.push_back(path);
    for (const std::string& style : StylePaths(v))
        files.push_back(style);
    for (const auto& [path, found] : v.fileLookups)
        files.push_back(path);
    return files;
}

std::string DescribeLoadError(const document::LoadError& error) {
    std::string text = error.File();
    if (error.Line() > 0) text += ":" + std::to_string(error.Line());
    if (error.Column() > 0) text += ":" + std::to_string(error.Column());
    return text + ": " + error.Reason();
}

void ShowErrorBar(Viewer& v, const std::string& text) {
    auto& f = v.form;
    toolkit::PictureBox& bar = f.picErrorBar[0];
    toolkit::Label& label = f.lblErrorBar[0];
    label.Container = &bar;
    label.ForeColor = kBarTextColour;
    label.SetFontSize(kBarFontSize);
    label.SetAutoSize(true);
    label.SetCaption(text);
    label.Left = kBarPadding;
    label.Top = kBarPadding;
    label.Visible = true;
    bar.BackColor = kBarColour;
    bar.Left = 0;
    bar.Width = f.Width;
    bar.Height = label.Height + 2 * kBarPadding;
    bar.Top = f.Height - bar.Height;
    bar.Visible = true;
}

void HideErrorBar(Viewer& v) {
    v.form.picErrorBar[0].Visible = false;
    v.form.lblErrorBar[0].Visible = false;
}

bool ReloadAfterChange(Viewer& v) {
    if (const auto error = TryParse(v)) {
        ShowErrorBar(v, DescribeLoadError(*error));
        return false;
    }
    const int section = v.CurrentSection;
    const auto* anchor = v.Loaded ? v.form.picSection.At(section - 1) : nullptr;
    const float top = anchor ? anchor->Top : v.form.fraScreenArea.Top;
    try {
        cmdLoad_Click(v);
    } catch (const document::LoadError& error) {
        // Changed again between the two reads: the next save loads it.
        ShowErrorBar(v, DescribeLoadError(error));
        return false;
    }
    HideErrorBar(v);
    if (anchor) KeepPlace(v, section, top);
    return true;
}

}  // namespace kavro::app
