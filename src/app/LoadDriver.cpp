#include "app/LoadDriver.h"

#include <iostream>
#include <string>
#include <vector>

#include "app/Manuals.h"
#include "app/Viewer.h"
#include "base/Strings.h"
#include "document/SaxReader.h"
#include "layout/LayoutSection.h"
#include "layout/PaintSection.h"
#include "forms/DataPaths.h"

namespace kavro::app {

using document::ContentHandler;
using document::ConvertedDocument;
using document::LoadError;
using document::SaxReader;

std::vector<std::string> SplitDocNames(const std::string& names) {
    const std::vector<std::string_view> parts = base::Split(names, ';');
    return {parts.begin(), parts.end()};
}

std::vector<std::string> DocumentPaths(const Viewer& v, const std::string& name) {
    std::vector<std::string> paths;
    for (const std::string& root : v.sys.MetadataRoots())
        paths.push_back(root + "/" + import::ItemFolder(v.item, v.RomName) + "/" + name + ".xml");
    return paths;
}

std::vector<std::string> StylePaths(const Viewer& v) {
    std::vector<std::string> paths;
    if (v.StyleName.empty()) return paths;
    for (const std::string& root : v.sys.MetadataRoots()) {
        paths.push_back(root + "/default/" + v.StyleName + ".sxml");
        paths.push_back(root + "/" + v.ItemFolderName() + "/" + v.StyleName + ".sxml");
    }
    return paths;
}

std::string FindFirst(Viewer& v, const std::vector<std::string>& paths) {
    for (const std::string& path : paths)
        if (std::string found = v.FindFile(path); !found.empty()) return found;
    return std::string();
}

namespace {

void EmptyMacroTables(ConvertedDocument& doc) {
    doc.FontMacros.Clear();
    doc.BgMacros.Clear();
}

// The largest size, in 1-point steps from the current one, at which LineChars hyphens take
// no more than 90 % of the screen area's width. Stops at the font's smallest and largest size.
void FitTextSize(Viewer& v) {
    auto& form = v.form;
    const std::string hyphens(static_cast<std::size_t>(v.doc.LineChars), '-');
    const double target = 0.9 * v.form.fraScreenArea.Width;
    double width = form.TextWidth(hyphens);
    if (width < target) {
        while (width < target) {
            if (!form.SetFontSize(form.FontSize() + 1)) return;
            width = form.TextWidth(hyphens);
        }
        if (width > target) form.SetFontSize(form.FontSize() - 1);
    } else if (width > target) {
        while (width > target) {
            if (!form.SetFontSize(form.FontSize() - 1)) return;
            width = form.TextWidth(hyphens);
        }
    }
}

// The metadata folders as the data-file lookup takes them, each ending in a separator.
std::vector<std::string> DataRoots(const Viewer& v) {
    std::vector<std::string> roots;
    for (const std::string& root : v.sys.MetadataRoots())
        roots.push_back(root + "/");
    return roots;
}

// The item's document when there is one, else its manual (a PDF, an archive or a folder of
// pages), else the rom's entry of metadata/<name>.dat converted in memory.
void ParseDocument(Viewer& v, const std::string& name, const std::string& document_path) {
    if (!v.FindFile(document_path).empty()) {
        v.SaxReader->parseURL(document_path);
        return;
    }
    if (LoadManual(v, name)) return;
    const auto source = import::ResolveDocument(v.dataFiles, DataRoots(v), v.RomName, name, v.item);
    if (!source.failure.empty()) throw LoadError(document_path, 0, 0, source.failure);
    if (v.diagnostics)
        for (const import::DatProblem& problem : source.problems)
            v.diagnostics->Report({source.data_path, problem.line, 0}, document::Severity::Warning,
                                  problem.text);
    if (source.text)
        v.SaxReader->parseText(*source.text, source.name);
    else if (!v.FindFile(source.path).empty())  // the parent's document
        v.SaxReader->parseURL(source.path);
    else
        v.SaxReader->parseURL(document_path);
}

}  // namespace

void ClearSection(Viewer& v) {
    auto& f = v.form;
    v.BackgroundRegions.assign(1, BackgroundRegion{});

    f.lblText[0].Visible = false;
    for (int i = 1, upper = f.lblText.UBound(); i <= upper; ++i)
        f.lblText.Unload(i);

    f.imgIco[0].Visible = false;
    for (int i = 1, upper = f.imgIco.UBound(); i <= upper; ++i)
        f.imgIco.Unload(i);

    f.imgImage[0].Visible = false;
    for (int i = 1, upper = f.imgImage.UBound(); i <= upper; ++i) {
        f.imgImage.Unload(i);
        f.imgPH.Unload(i);
    }

    f.picSection[0].Visible = false;
    // Element 0 is reused: what was drawn on it belongs to the previous load.
    f.picSection[0].Cls();
    for (int i = 1, upper = f.picSection.UBound(); i <= upper; ++i)
        f.picSection.Unload(i);

    v.LastImageIndex = -1;
    v.LastLabelIndex = -1;
    v.LastIconIndex = -1;
    // Bands continue only between surfaces of one load: a reload draws what a fresh start does.
    v.TileCarry = 0;
}

namespace {

// The line width is read; the text size is fitted to it.
void FitLineWidth(Viewer& v, const std::string& document_path) {
    if (v.doc.LineChars == 0) v.doc.LineChars = 40;
    if (v.doc.LineChars < 0)
        throw LoadError(
            document_path, 0, 0,
            "the line width (textwidth) " + std::to_string(v.doc.LineChars) + " is negative");
    FitTextSize(v);
    v.form.fraScreenArea.FontSize = v.form.FontSize();
}

constexpr int kControlLimit = toolkit::ControlArray<toolkit::Label>::kMaxIndex;

bool AtControlLimit(const Form1& f) {
    return f.lblText.UBound() >= kControlLimit || f.imgIco.UBound() >= kControlLimit ||
           f.imgImage.UBound() >= kControlLimit || f.picSection.UBound() >= kControlLimit;
}

void ReportCut(Viewer& v, int section) {
    const std::string message = "the documents need more than " + std::to_string(kControlLimit) +
                                " text runs, icons, images or sections; the rest from section " +
                                std::to_string(section) + " on is not shown";
    if (!v.diagnostics) {
        std::cerr << "kavro: " << message << "\n";
        return;
    }
    document::SourcePosition where;
    const auto& sources = v.diagnostics->sections;
    if (static_cast<std::size_t>(section) < sources.size()) {
        const document::SectionSource& source = sources[static_cast<std::size_t>(section)];
        where.file = source.file;
        if (!source.anchors.empty()) {
            where.line = source.anchors.front().line;
            where.column = source.anchors.front().column;
        }
    }
    v.diagnostics->Report(where, document::Severity::Warning, message);
}

// Section k (counted from 1), laid out, painted and put below the one above.
void LayOut(Viewer& v, int k) {
    layout::LayoutSection(v.Layout(), k - 1);
    layout::PaintSection(v.Layout(), k);
    if (k > 1) {
        auto* surface = v.form.picSection.At(k - 1);
        const auto* above = v.form.picSection.At(k - 2);
        if (surface && above) surface->Top = above->Top + above->Height;
    }
}

}  // namespace

void cmdLoad_Click(Viewer& v) {
    if (v.RomName.empty()) v.RomName = "mk";
    if (v.DocName.empty()) v.DocName = "command";

    if (!v.SaxReader) v.SaxReader = std::make_unique<SaxReader>();
    if (!v.DocHandler)
        v.DocHandler = std::make_unique<ContentHandler>(
            v.doc, v.handlerContext,
            [&v](const std::string& caption) { v.form.Caption = caption; });
    v.SaxReader->contentHandler = v.DocHandler.get();
    v.SaxReader->putFeature("prohibit-dtd", false);

    const std::vector<std::string> names = SplitDocNames(v.DocName);

    v.doc.SectionMarkup.assign(1, std::string());
    EmptyMacroTables(v.doc);
    int first_new_section = 1;
    int cut_at = 0;  // the first section that reached the control limit
    ClearSection(v);
    v.pictures.NewLoad();
    v.fileLookups.clear();
    v.itemFiles.clear();
    v.folderListings.Forget();

    for (const std::string& name : names) {
        // A document named in another case is read; one found nowhere fails under its own
        // name, in the installed place.
        const std::vector<std::string> documents = DocumentPaths(v, name);
        std::string document_path = FindFirst(v, documents);
        if (document_path.empty()) document_path = documents.back();
        v.doc.InfoText.clear();
        EmptyMacroTables(v.doc);

        ParseDocument(v, name, document_path);

        if (const std::vector<std::string> styles = StylePaths(v); !styles.empty()) {
            if (const std::string style_path = FindFirst(v, styles); !style_path.empty()) {
                EmptyMacroTables(v.doc);
                v.SaxReader->parseURL(style_path);
            } else if (v.diagnostics) {
                std::string looked;
                for (const std::string& style : styles)
                    looked += (looked.empty() ? "" : ", ") + style;
                v.diagnostics->Report({}, document::Severity::Warning,
                                      "style \"" + v.StyleName + "\" not found (looked in " +
                                          looked + "); the document's own look is used");
            }
        }

        FitLineWidth(v, document_path);

        for (int k = first_new_section; k <= v.doc.SectionCount(); ++k) {
            LayOut(v, k);
            if (cut_at == 0 && AtControlLimit(v.form)) cut_at = k;
        }
        first_new_section = v.doc.SectionCount() + 1;
    }

    // Past the control limit the rest of a document cannot be shown; say so instead of
    // silently dropping it (a check names the section where it was cut).
    if (cut_at > 0) ReportCut(v, cut_at);

    v.CurrentSection = 1;
    v.Loaded = true;
}

}  // namespace kavro::app
