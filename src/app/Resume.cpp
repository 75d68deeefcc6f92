#include "app/Resume.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "app/Navigation.h"
#include "app/Viewer.h"
#include "base/AtomicFile.h"

namespace kavro::app {

namespace fs = std::filesystem;

namespace {

constexpr std::uintmax_t kMaxFileBytes = 1 << 20;

// Names are kept with their tab, line break and percent bytes written as %XX, so that a line
// always has its five fields.
std::string Encode(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        if (c == '%' || c == '\t' || c == '\n' || c == '\r') {
            static constexpr char kHex[] = "0123456789ABCDEF";
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

struct Line {
    std::string key;  // encoded rom, tab, encoded doc
    Place place;
};

std::optional<Line> ParseLine(const std::string& text) {
    std::istringstream in(text);
    std::string rom, doc;
    Line line;
    if (!(in >> line.place.sections >> line.place.section >> line.place.into)) return std::nullopt;
    in.ignore(1);  // the tab after the numbers
    if (!std::getline(in, rom, '\t') || !std::getline(in, doc) || rom.empty()) return std::nullopt;
    if (line.place.sections < 1 || line.place.section < 1 ||
        line.place.section > line.place.sections || !std::isfinite(line.place.into))
        return std::nullopt;
    line.key = rom + "\t" + doc;
    return line;
}

std::vector<Line> ReadLines(const std::string& file) {
    std::vector<Line> lines;
    std::error_code ec;
    if (file.empty() || fs::file_size(file, ec) > kMaxFileBytes || ec) return lines;
    std::ifstream in(file, std::ios::binary);
    for (std::string text; std::getline(in, text);)
        if (auto line = ParseLine(text)) lines.push_back(std::move(*line));
    return lines;
}

}  // namespace

std::string ResumeStore::UserFile() {
    if (const char* xdg = std::getenv("XDG_STATE_HOME"); xdg && *xdg == '/')
        return std::string(xdg) + "/kavro/places";
    if (const char* home = std::getenv("HOME"); home && *home == '/')
        return std::string(home) + "/.local/state/kavro/places";
    return {};
}

std::optional<Place> ResumeStore::Find(const std::string& rom, const std::string& doc) const {
    const std::string key = Encode(rom) + "\t" + Encode(doc);
    const std::vector<Line> lines = ReadLines(file_);
    for (auto it = lines.rbegin(); it != lines.rend(); ++it)
        if (it->key == key) return it->place;
    return std::nullopt;
}

bool ResumeStore::Remember(const std::string& rom, const std::string& doc,
                           const Place& place) const {
    if (file_.empty()) return false;
    const std::string key = Encode(rom) + "\t" + Encode(doc);
    std::vector<Line> lines = ReadLines(file_);
    lines.erase(std::remove_if(lines.begin(), lines.end(),
                               [&](const Line& line) { return line.key == key; }),
                lines.end());
    lines.push_back({key, place});
    if (lines.size() > kMaxPlaces)
        lines.erase(lines.begin(), lines.end() - static_cast<std::ptrdiff_t>(kMaxPlaces));
    std::ostringstream text;
    for (const Line& line : lines)
        text << line.place.sections << '\t' << line.place.section << '\t' << line.place.into << '\t'
             << line.key << '\n';
    std::error_code ec;
    fs::create_directories(fs::path(file_).parent_path(), ec);
    return base::ReplaceFile(file_, text.str());
}

void RememberPlace(Viewer& v) {
    if (v.ResumeFile.empty() || !v.Loaded || v.doc.SectionCount() < 1) return;
    const auto* anchor = v.form.picSection.At(v.CurrentSection - 1);
    if (!anchor || !(anchor->Height > 0)) return;
    Place place;
    place.sections = v.doc.SectionCount();
    place.section = std::clamp(v.CurrentSection, 1, place.sections);
    place.into = std::clamp((v.form.fraScreenArea.Top - anchor->Top) / anchor->Height, -1.0f, 1.0f);
    // The viewer is ending: a place that cannot be kept is no reason to fail it.
    ResumeStore(v.ResumeFile).Remember(v.RomName, v.DocName, place);
}

void RestorePlace(Viewer& v) {
    if (v.ResumeFile.empty() || v.FromStart || !v.Loaded) return;
    const auto place = ResumeStore(v.ResumeFile).Find(v.RomName, v.DocName);
    if (!place || place->sections != v.doc.SectionCount()) return;
    const auto* anchor = v.form.picSection.At(place->section - 1);
    if (!anchor) return;
    KeepPlace(v, place->section,
              static_cast<float>(v.form.fraScreenArea.Top - place->into * anchor->Height));
}

}  // namespace kavro::app
