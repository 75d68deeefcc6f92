#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "manuals/ManualPages.h"
#include "manuals/PdfPages.h"

namespace kavro::manuals {

// The one place a manual is read in the background: a PDF's pages after its first are drawn
// on one thread of its own, in order and a few to each run of pdftoppm, while the reader looks
// at the first. After each page
// (and when it stops) wake is called, from that thread; everything else about the pages is
// asked for on the viewer's thread. When every page is drawn the cache entry is made complete;
// a manual left before that, or one a page of which cannot be drawn, leaves nothing cached.
class PageRasteriser {
  public:
    // The manual's pages, drawn from the cache when it has them all (then no rasteriser is
    // needed and null is returned); otherwise its first page drawn now and the rest started in
    // the background. pages gets every page: the paths the later ones will have, with the first
    // page's size. Throws ManualError when the PDF or its first page cannot be read.
    static std::unique_ptr<PageRasteriser> Start(const PrepareRequest& request,
                                                 std::function<void()> wake,
                                                 std::vector<Page>* pages);
    ~PageRasteriser();
    PageRasteriser(const PageRasteriser&) = delete;
    PageRasteriser& operator=(const PageRasteriser&) = delete;

    const std::string& Key() const { return key_; }
    int Total() const { return total_; }
    // Pages ready so far, counted from the first.
    int Ready() const { return ready_.load(); }
    bool Finished() const { return finished_.load(); }
    // Why drawing stopped early; empty while it goes on or when it succeeded.
    std::string Failure() const;

  private:
    PageRasteriser(PdfTools tools, std::string pdf, std::string key, const PageCache& cache,
                   int width_px, int total, std::vector<std::string> names,
                   std::function<void()> wake);
    void Run();

    PdfTools tools_;
    std::string pdf_;
    std::string key_;
    PageCache cache_;
    std::string folder_;
    int width_px_;
    int total_;
    std::vector<std::string> names_;
    std::function<void()> wake_;
    std::atomic<int> ready_{1};
    std::atomic<bool> finished_{false};
    std::atomic<bool> stop_{false};
    mutable std::mutex failure_mutex_;
    std::string failure_;
    std::thread worker_;
};

}  // namespace kavro::manuals
