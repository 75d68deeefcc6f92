#pragma once

#include <optional>
#include <string>

namespace kavro::app {

struct Viewer;

// Where a reader left a document: its section count then, the section (from 1), and how far
// into that section the screen area's top was, as a share of the section's height.
struct Place {
    int sections = 0;
    int section = 1;
    double into = 0;
};

// The places readers left documents, one per item and document names, in a small text file
// (one line per place, the most recent last, at most kMaxPlaces). Written atomically; a line
// that cannot be read is skipped, and a file that cannot be read counts as empty.
class ResumeStore {
  public:
    static constexpr std::size_t kMaxPlaces = 2000;

    explicit ResumeStore(std::string file) : file_(std::move(file)) {}

    // $XDG_STATE_HOME/kavro/places (default ~/.local/state/kavro/places); empty without either.
    static std::string UserFile();

    std::optional<Place> Find(const std::string& rom, const std::string& doc) const;
    // False (with nothing changed) when the file cannot be written.
    bool Remember(const std::string& rom, const std::string& doc, const Place& place) const;

  private:
    std::string file_;
};

// The exit key: remembers where the viewer stands, unless it has no place file (--render).
void RememberPlace(Viewer& v);
// After the first load: goes back to where the reader left this document, unless --from-start
// or the document now has another number of sections.
void RestorePlace(Viewer& v);

}  // namespace kavro::app
