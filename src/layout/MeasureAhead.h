#pragma once

#include <atomic>
#include <deque>
#include <memory>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include "layout/Load.h"
#include "layout/MacroLookup.h"
#include "toolkit/FontEngine.h"

namespace kavro::layout {

// Measures the text runs of the sections about to be laid out on a second thread, so the
// layout finds most of their sizes ready: measuring is most of a load's work, and the layout
// does the rest meanwhile. The worker takes the sections after the one being laid out, a few
// at most, and publishes each run as it is measured; the layout never waits for it, and
// measures itself what is not ready when it gets there, while the worker moves on. What the worker
// measures is only a head start, so a load gives the same result with it as without it.
class MeasureAhead {
  public:
    // For sections first..last (counted from 0), laid out in that order; does nothing when the
    // process may use one processor only, for fewer than two sections, or when the font engine
    // adds up ASCII widths (measuring is then cheaper than handing measurements over). Call on the
    // layout's thread, after the document's macros are read and the text size fitted.
    MeasureAhead(const Load& v, int first, int last);
    ~MeasureAhead();
    MeasureAhead(const MeasureAhead&) = delete;
    MeasureAhead& operator=(const MeasureAhead&) = delete;

    // Before section s is laid out: gives the font engine what is being measured for it.
    void Reach(int s);

  private:
    using List = toolkit::FontEngine::MeasuredAhead;
    void Work();
    void MeasureSection(int s, List& out);
    // Whether the layout has left section s (its list is free again), and whether the worker
    // should leave it: stopped, or the layout is on it.
    bool Passed(int s) const;
    bool Reached(int s) const;

    Load v_;
    int first_ = 0, last_ = 0;
    // Per font macro column: the point size its runs are laid out at; none where the layout
    // keeps the label's own size.
    std::vector<std::optional<float>> sizes_;
    std::unique_ptr<toolkit::FontEngine::AheadMeasurer> measurer_;
    MacroLookup macros_;  // the worker's
    // Per section: its list once the worker has started it.
    std::unique_ptr<std::atomic<const List*>[]> published_;
    // The worker's lists, freed once the layout is past their sections.
    std::deque<std::pair<int, std::unique_ptr<List>>> lists_;
    std::vector<std::unique_ptr<List>> spare_;
    // The next section nobody has taken, and the one being laid out.
    std::atomic<int> next_{0};
    std::atomic<int> laying_out_{-1};
    std::atomic<bool> stop_{false};
    std::thread worker_;
};

}  // namespace kavro::layout
