#include "app/Manuals.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <ostream>

#include "app/LoadDriver.h"
#include "app/Navigation.h"
#include "app/Program.h"
#include "app/Settings.h"
#include "app/Viewer.h"
#include "base/Strings.h"
#include "cli/IniFile.h"
#include "document/SaxReader.h"
#include "imaging/PictureFiles.h"
#include "manuals/ManualDocument.h"
#include "manuals/ManualError.h"
#include "manuals/ManualPages.h"
#include "manuals/ManualSearch.h"
#include "manuals/NaturalOrder.h"
#include "manuals/PageCache.h"
#include "manuals/PageRasteriser.h"

namespace kavro::app {

namespace fs = std::filesystem;

namespace {

std::string SearchPath() {
    const char* path = std::getenv("PATH");
    return path ? path : "/usr/local/bin:/usr/bin:/bin";
}

std::string Home() {
    const char* home = std::getenv("HOME");
    return home && *home == '/' ? home : "";
}

// The width of the screen area for a screen of w x h pixels without zoom, in twips, as the
// window's geometry makes it: 1.33 times the height on a landscape screen, the width otherwise.
double UnzoomedAreaWidth(int w, int h) {
    return w > h ? h * 15.0 * 1.33 : w * 15.0;
}

// The pages of a PDF with a window to hand drawn pages to: the first now, the rest in the
// background. A reload while they are drawn (a toggle, a page that came) keeps the drawing
// when the width is the same.
void DrawInBackground(Viewer& v, const manuals::PrepareRequest& request) {
    const std::string key = request.cache->KeyOf(request.manual.path, request.width_px);
    if (v.pageDrawing && v.pageDrawing->Key() == key) {
        // Pages drawn meanwhile are measured: their shape need not be the first page's.
        const int ready = v.pageDrawing->Ready();
        for (int i = v.pagesShown; i < ready; ++i)
            v.manualPages[static_cast<std::size_t>(i)] =
                manuals::MeasurePage(v.manualPages[static_cast<std::size_t>(i)].path);
        v.pagesShown = ready;
        return;
    }
    v.pageDrawing.reset();
    v.pageDrawing = manuals::PageRasteriser::Start(request, v.wakeForPages, &v.manualPages);
    v.pagesShown = v.pageDrawing ? v.pageDrawing->Ready() : static_cast<int>(v.manualPages.size());
}

// A page's picture, decoded only while it is drawn: a long manual holds no page it does not
// show.
toolkit::PicturePtr DeferredPage(const manuals::Page& page) {
    const std::string path = page.path;
    return std::make_shared<const toolkit::Picture>(
        page.width, page.height, toolkit::Picture::Decoder([path] {
            const toolkit::PicturePtr decoded = imaging::LoadPictureFile(path, nullptr);
            return decoded ? decoded->Pixels() : std::vector<std::uint32_t>();
        }),
        path);
}

constexpr float kPagesBarHeight = 420;  // twips
constexpr long kPagesTrackColour = 0x303030;
constexpr long kPagesDoneColour = 0x905000;  // dark blue (red + 256 * green + 65536 * blue)

void ShowPagesBar(Viewer& v) {
    auto& f = v.form;
    const bool drawing = v.pageDrawing && !v.pageDrawing->Finished();
    const std::string failure = v.pageDrawing ? v.pageDrawing->Failure() : std::string();
    if (f.picPagesBar.UBound() < 1) f.picPagesBar.Load(1);
    toolkit::PictureBox& track = f.picPagesBar[0];
    toolkit::PictureBox* done = f.picPagesBar.At(1);
    toolkit::Label& label = f.lblPagesBar[0];
    const bool shown = drawing || !failure.empty();
    track.Visible = shown;
    label.Visible = shown;
    if (done) done->Visible = shown;
    if (!shown) return;
    const int ready = v.pageDrawing->Ready(), total = v.pageDrawing->Total();
    track.BackColor = kPagesTrackColour;
    track.Left = 0;
    track.Width = f.Width;
    track.Height = kPagesBarHeight;
    track.Top = f.Height - kPagesBarHeight;
    if (done) {
        done->BackColor = kPagesDoneColour;
        done->Left = 0;
        done->Top = track.Top;
        done->Height = kPagesBarHeight;
        done->Width = f.Width * static_cast<float>(ready) / static_cast<float>(total);
    }
    label.ForeColor = 0xFFFFFF;
    label.SetFontSize(14.0f);
    label.SetAutoSize(true);
    label.SetCaption(failure.empty()
                         ? "page " + std::to_string(ready) + " of " + std::to_string(total)
                         : failure);
    label.Left = 120;
    label.Top = track.Top + (kPagesBarHeight - label.Height) / 2;
}

}  // namespace

bool LoadManual(Viewer& v, const std::string& name) {
    const ManualSettings settings = ReadManualSettings(v.sys.SettingsFile());
    if (std::none_of(settings.names.begin(), settings.names.end(),
                     [&](const std::string& n) { return base::EqualsIgnoringCase(n, name); }))
        return false;
    const manuals::PatternValues values{v.RomName, v.item.parent, v.item.system};
    const auto manual =
        manuals::FindManual(v.sys.MetadataRoots(), name, values, settings.patterns, Home());
    if (!manual) return false;

    const auto& area = v.form.fraScreenArea;
    const manuals::PageCache cache(manuals::PageCache::UserFolder(), settings.cache_limit_bytes);
    manuals::PrepareRequest request;
    request.manual = *manual;
    request.width_px = manuals::PageWidthPixels(area.Width);
    request.search_path = SearchPath();
    request.cache = &cache;
    try {
        if (v.wakeForPages && manual->kind == manuals::ManualKind::Pdf) {
            DrawInBackground(v, request);
        } else {
            v.pageDrawing.reset();
            v.manualPages = manuals::PreparePages(request);
            v.pagesShown = static_cast<int>(v.manualPages.size());
        }
    } catch (const manuals::ManualError& e) {
        throw document::LoadError(e.File(), 0, 0, e.Reason());
    }
    // A page not drawn yet is not found: its section shows "page n of N" in its place.
    for (int i = 0; i < v.pagesShown; ++i) {
        const manuals::Page& page = v.manualPages[static_cast<std::size_t>(i)];
        v.ProvideImage(manuals::PageImageName(i + 1), page.path);
        if (page.width > 0 && page.height > 0) v.pictures.Store(page.path, DeferredPage(page));
    }
    const std::string title = fs::path(manual->path).filename().string();
    v.SaxReader->parseText(manuals::ManualXml(v.manualPages, title, area.Width, area.Height),
                           manual->path);
    ShowPagesBar(v);
    return true;
}

void PagesArrived(Viewer& v) {
    if (!v.pageDrawing || !v.Loaded) return;
    const int ready = v.pageDrawing->Ready();
    const bool finished = v.pageDrawing->Finished();
    // The sections shown are laid out again only for a page the reader may be about to see
    // (or at the end): a load lays out every page.
    const bool near = ready > v.pagesShown && ready + 1 >= v.CurrentSection &&
                      v.pagesShown < v.CurrentSection + 2;
    if (near || (finished && ready > v.pagesShown)) {
        const int section = v.CurrentSection;
        const auto* anchor = v.form.picSection.At(section - 1);
        const float top = anchor ? anchor->Top : v.form.fraScreenArea.Top;
        cmdLoad_Click(v);
        if (anchor) KeepPlace(v, section, top);
    }
    ShowPagesBar(v);
}

int ImportManuals(const std::string& target, const std::string& settings_file, int screen_width,
                  int screen_height, std::ostream& out, std::ostream& err) {
    std::vector<std::string> files;
    std::error_code ec;
    if (fs::is_directory(target, ec)) {
        for (fs::recursive_directory_iterator it(target, ec), end; !ec && it != end;
             it.increment(ec)) {
            std::error_code file_ec;
            if (it->is_regular_file(file_ec) && manuals::KindOfFile(it->path().string()))
                files.push_back(it->path().string());
        }
        std::sort(files.begin(), files.end(), manuals::NaturalLess);
    } else if (manuals::KindOfFile(target) && fs::is_regular_file(target, ec)) {
        files.push_back(target);
    } else {
        err << "kavro: --import-manuals takes a folder or a PDF, CBZ, ZIP, CB7 or 7Z file, not \""
            << target << "\"\n";
        return kExitLoad;
    }
    const ManualSettings settings = ReadManualSettings(settings_file);
    const manuals::PageCache cache(manuals::PageCache::UserFolder(), settings.cache_limit_bytes);
    int failed = 0, pages_done = 0;
    const int count = static_cast<int>(files.size());
    for (int i = 0; i < count; ++i) {
        manuals::PrepareRequest request;
        request.manual = {files[static_cast<std::size_t>(i)],
                          *manuals::KindOfFile(files[static_cast<std::size_t>(i)])};
        request.width_px = manuals::PageWidthPixels(UnzoomedAreaWidth(screen_width, screen_height));
        request.search_path = SearchPath();
        request.cache = &cache;
        const std::string shown = fs::path(request.manual.path).filename().string();
        request.progress = [&](int done, int total) {
            out << "\rmanual " << i + 1 << " of " << count << ": " << shown << ", page " << done
                << " of " << total << "   " << std::flush;
        };
        try {
            pages_done += static_cast<int>(manuals::PreparePages(request).size());
        } catch (const manuals::ManualError& e) {
            out << "\n";
            err << e.what() << "\n";
            ++failed;
        }
    }
    out << "\r" << count << " manuals, " << pages_done << " pages ready in " << cache.Root();
    if (failed) out << "; " << failed << " could not be read";
    out << "\n";
    return failed ? kExitLoad : kExitOk;
}

}  // namespace kavro::app
