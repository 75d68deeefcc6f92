#include "manuals/PageRasteriser.h"

#include <algorithm>

#include "manuals/ManualError.h"

namespace kavro::manuals {

std::unique_ptr<PageRasteriser> PageRasteriser::Start(const PrepareRequest& request,
                                                      std::function<void()> wake,
                                                      std::vector<Page>* pages) {
    pages->clear();
    const std::string& pdf = request.manual.path;
    if (!request.cache) throw ManualError(pdf, "there is no folder to keep its pages in");
    const PageCache& cache = *request.cache;
    const std::string key = cache.KeyOf(pdf, request.width_px);
    if (auto cached = cache.Find(key)) {
        for (const std::string& path : *cached)
            pages->push_back(MeasurePage(path));
        return nullptr;
    }
    const PdfTools tools = PdfTools::Find(pdf, request.search_path);
    const int total = PdfPageCount(tools, pdf);
    const std::string folder = cache.Begin(key);
    std::vector<std::string> names;
    for (int page = 1; page <= total; ++page)
        names.push_back(PageFileName(page, kDrawnPageExtension));
    try {
        RasterisePdfPages(tools, pdf, 1, 1, request.width_px, folder, names);
    } catch (...) {
        cache.Abandon(key);
        throw;
    }
    const Page first = MeasurePage(folder + "/" + names[0]);
    for (const std::string& name : names)
        pages->push_back({folder + "/" + name, first.width, first.height});
    if (total == 1) {
        cache.Commit(key, names);
        return nullptr;
    }
    return std::unique_ptr<PageRasteriser>(new PageRasteriser(
        tools, pdf, key, cache, request.width_px, total, std::move(names), std::move(wake)));
}

PageRasteriser::PageRasteriser(PdfTools tools, std::string pdf, std::string key,
                               const PageCache& cache, int width_px, int total,
                               std::vector<std::string> names, std::function<void()> wake)
    : tools_(std::move(tools)),
      pdf_(std::move(pdf)),
      key_(std::move(key)),
      cache_(cache),
      folder_(cache.Root() + "/" + key_),
      width_px_(width_px),
      total_(total),
      names_(std::move(names)),
      wake_(std::move(wake)),
      worker_([this] { Run(); }) {}

PageRasteriser::~PageRasteriser() {
    stop_ = true;
    // The pages being drawn are finished first: pdftoppm takes well under a second for a run.
    if (worker_.joinable()) worker_.join();
    if (Ready() < total_) cache_.Abandon(key_);
}

std::string PageRasteriser::Failure() const {
    std::lock_guard lock(failure_mutex_);
    return failure_;
}

void PageRasteriser::Run() {
    try {
        for (int first = 2; first <= total_ && !stop_; first += kPagesPerRun) {
            const int last = std::min(first + kPagesPerRun - 1, total_);
            RasterisePdfPages(tools_, pdf_, first, last, width_px_, folder_,
                              {names_.begin() + first - 1, names_.begin() + last});
            ready_ = last;
            if (last < total_ && wake_) wake_();
        }
        if (!stop_) cache_.Commit(key_, names_);
    } catch (const ManualError& e) {
        std::lock_guard lock(failure_mutex_);
        failure_ = e.Reason();
    }
    finished_ = true;
    if (wake_) wake_();
}

}  // namespace kavro::manuals
