#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>

#include "ManualSamples.h"
#include "manuals/ManualDocument.h"
#include "manuals/ManualError.h"
#include "manuals/ManualPages.h"
#include "manuals/ManualSearch.h"
#include "manuals/NaturalOrder.h"
#include "manuals/PageCache.h"
#include "manuals/PdfPages.h"

namespace kavro::manuals {
namespace {

namespace fs = std::filesystem;
using kavro::testing::TempFolder;
using ::testing::HasSubstr;

// What the machine has, as the viewer would find it: poppler-utils is a test dependency.
const std::string kSystemPath = "/usr/local/bin:/usr/bin:/bin";

TEST(NaturalOrder, NumbersCompareByValue) {
    struct Case {
        const char* a;
        const char* b;
        bool less;
    } cases[] = {
        {"p2.png", "p10.png", true},
        {"p10.png", "p2.png", false},
        {"page-09", "page-10", true},
        {"Scan 1", "scan 2", true},
        {"p002", "p2", true},
        {"p2", "p002", false},  // same value: by byte
        {"a", "a1", true},
        {"cover", "p1", true},
        {"disc2/p1", "disc10/p1", true},
        {"p1", "p1", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(NaturalLess(c.a, c.b), c.less) << c.a << " < " << c.b;
}

TEST(ManualPatterns, FieldsAreFilledAndMissingValuesSkipThePattern) {
    const PatternValues values{"smwj", "smw", "snes"};
    struct Case {
        const char* pattern;
        const char* home;
        std::optional<std::string> expected;
    } cases[] = {
        {"~/media/%system%/manuals/%rom%.pdf", "/home/u", "/home/u/media/snes/manuals/smwj.pdf"},
        {"/m/%PARENT%/%Rom%.cbz", "", "/m/smw/smwj.cbz"},
        {"/m/50%off/%rom%", "", "/m/50%off/smwj"},
        {"/m/%rom%%system%", "", "/m/smwjsnes"},
        {"~/x/%rom%.pdf", "", std::nullopt},
        {"/m/%rom", "", "/m/%rom"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ExpandPattern(c.pattern, values, c.home), c.expected) << c.pattern;
    EXPECT_EQ(ExpandPattern("/m/%parent%.pdf", {"mk", "", "arcade"}, ""), std::nullopt);
}

TEST(ManualSearch, ItemFolderFirstThenPatternsInOrder) {
    TempFolder t;
    const std::vector<std::string> roots{(t / "user").string(), (t / "installed").string()};
    const PatternValues values{"mk", "", "arcade"};
    const std::vector<std::string> patterns{(t / "media/%parent%/%rom%.pdf").string(),
                                            (t / "media/%system%/%rom%.cbz").string(),
                                            (t / "media/%system%/%rom%").string()};
    EXPECT_FALSE(FindManual(roots, "manual", values, patterns, ""));

    kavro::testing::WritePng(t / "media/arcade/mk/p1.png", 4, 4);
    auto found = FindManual(roots, "manual", values, patterns, "");
    ASSERT_TRUE(found);
    EXPECT_EQ(found->kind, ManualKind::Folder);

    kavro::testing::WriteFile(t / "media/arcade/mk.cbz", "x");
    found = FindManual(roots, "manual", values, patterns, "");
    ASSERT_TRUE(found);
    EXPECT_EQ(found->path, (t / "media/arcade/mk.cbz").string());

    kavro::testing::WritePng(t / "installed/mk/manual/p1.png", 4, 4);
    found = FindManual(roots, "manual", values, patterns, "");
    ASSERT_TRUE(found);
    EXPECT_EQ(found->kind, ManualKind::Folder);
    kavro::testing::WriteFile(t / "installed/mk/manual.zip", "x");
    EXPECT_EQ(FindManual(roots, "manual", values, patterns, "")->path,
              (t / "installed/mk/manual.zip").string());
    kavro::testing::WriteFile(t / "installed/mk/manual.pdf", "x");
    EXPECT_EQ(FindManual(roots, "manual", values, patterns, "")->path,
              (t / "installed/mk/manual.pdf").string());
    kavro::testing::WriteFile(t / "user/mk/manual.cb7", "x");
    EXPECT_EQ(FindManual(roots, "manual", values, patterns, "")->path,
              (t / "user/mk/manual.cb7").string());
}

TEST(ManualSearch, FolderPagesInNaturalOrderWithoutHiddenOrOtherFiles) {
    TempFolder t;
    for (const char* name : {"p10.png", "p2.jpg", "p1.PNG", ".p0.png", "notes.txt"})
        kavro::testing::WriteFile(t / "pages" / name, "x");
    const std::vector<std::string> pages = FolderPages((t / "pages").string());
    ASSERT_EQ(pages.size(), 3u);
    EXPECT_THAT(pages[0], ::testing::EndsWith("/p1.PNG"));
    EXPECT_THAT(pages[1], ::testing::EndsWith("/p2.jpg"));
    EXPECT_THAT(pages[2], ::testing::EndsWith("/p10.png"));
}

// Entries in the cache folder, unfinished ones included.
std::vector<std::string> CacheEntries(const fs::path& root) {
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec))
        names.push_back(it->path().filename().string());
    return names;
}

class ManualPagesTest : public ::testing::Test {
  protected:
    PrepareRequest Request(const fs::path& file, ManualKind kind, int width = 300) {
        PrepareRequest request;
        request.manual = {file.string(), kind};
        request.width_px = width;
        request.search_path = kSystemPath;
        request.cache = &cache_;
        return request;
    }
    fs::path CacheRoot() const { return t_ / "cache"; }

    TempFolder t_;
    PageCache cache_{(t_ / "cache").string(), PageCache::kDefaultLimitBytes};
};

TEST_F(ManualPagesTest, PdfPagesAreDrawnAtTheWidthAndReusedFromTheCache) {
    // One page more than a run of pdftoppm draws, then one fewer than the next run would.
    const int count = kPagesPerRun * 2 - 1;
    kavro::testing::WriteFile(t_ / "m.pdf", kavro::testing::SamplePdf(count, 400, 600));
    std::vector<std::pair<int, int>> progress;
    PrepareRequest request = Request(t_ / "m.pdf", ManualKind::Pdf, 300);
    request.progress = [&](int done, int total) { progress.emplace_back(done, total); };
    const std::vector<Page> pages = PreparePages(request);
    ASSERT_EQ(pages.size(), static_cast<std::size_t>(count));
    for (const Page& page : pages) {
        EXPECT_EQ(page.width, 300);
        EXPECT_EQ(page.height, 450);
        EXPECT_THAT(page.path, ::testing::EndsWith(".jpg"));
    }
    EXPECT_EQ(progress, (std::vector<std::pair<int, int>>{{kPagesPerRun, count}, {count, count}}));
    // Each is drawn from its own page (page 8 has page 1's colour and another number); nothing
    // of a run is left over.
    for (int i = 1; i < count; ++i)
        EXPECT_NE(kavro::testing::ReadFile(pages[0].path),
                  kavro::testing::ReadFile(pages[static_cast<std::size_t>(i)].path))
            << i;
    EXPECT_EQ(std::distance(fs::directory_iterator(fs::path(pages[0].path).parent_path()),
                            fs::directory_iterator()),
              count + 1)
        << "the pages and their list";

    // Reused: found again without pdftoppm, no page drawn.
    request.search_path = (t_ / "empty").string();
    progress.clear();
    const std::vector<Page> again = PreparePages(request);
    ASSERT_EQ(again.size(), static_cast<std::size_t>(count));
    EXPECT_EQ(again[2].path, pages[2].path);
    EXPECT_TRUE(progress.empty());

    // Another width is another entry.
    request.search_path = kSystemPath;
    request.width_px = 200;
    EXPECT_EQ(PreparePages(request)[0].width, 200);
    EXPECT_EQ(CacheEntries(CacheRoot()).size(), 2u);
}

TEST_F(ManualPagesTest, ChangedFileIsAnotherEntry) {
    kavro::testing::WriteFile(t_ / "m.pdf", kavro::testing::SamplePdf(1));
    const std::string before = cache_.KeyOf((t_ / "m.pdf").string(), 300);
    EXPECT_EQ(cache_.KeyOf((t_ / "m.pdf").string(), 300), before);
    kavro::testing::WriteFile(t_ / "m.pdf", kavro::testing::SamplePdf(2));
    EXPECT_NE(cache_.KeyOf((t_ / "m.pdf").string(), 300), before);
}

TEST_F(ManualPagesTest, WithoutPdftoppmThePackageIsNamedAndNothingIsCached) {
    kavro::testing::WriteFile(t_ / "m.pdf", kavro::testing::SamplePdf(1));
    PrepareRequest request = Request(t_ / "m.pdf", ManualKind::Pdf);
    fs::create_directories(t_ / "bin");
    request.search_path = (t_ / "bin").string();
    try {
        PreparePages(request);
        FAIL() << "a PDF without pdftoppm was read";
    } catch (const ManualError& e) {
        EXPECT_EQ(e.File(), request.manual.path);
        EXPECT_THAT(e.Reason(), HasSubstr("pdftoppm"));
        EXPECT_THAT(e.Reason(), HasSubstr("apt-get install poppler-utils"));
    }
    EXPECT_THAT(CacheEntries(CacheRoot()), ::testing::IsEmpty());
}

TEST_F(ManualPagesTest, CorruptManualsFailAndLeaveNothingCached) {
    const std::string pdf = kavro::testing::SamplePdf(2);
    struct Case {
        const char* name;
        std::string bytes;
        ManualKind kind;
        const char* reason;
    } cases[] = {
        {"garbage.pdf", "not a pdf at all", ManualKind::Pdf, "not a readable PDF"},
        {"cut.pdf", pdf.substr(0, pdf.size() / 3), ManualKind::Pdf, ""},
        {"empty.pdf", "", ManualKind::Pdf, "not a readable PDF"},
        {"garbage.cbz", "PK\x03\x04 broken", ManualKind::Archive, "archive"},
        {"empty.cbz", "", ManualKind::Archive, ""},
    };
    for (const Case& c : cases) {
        kavro::testing::WriteFile(t_ / c.name, c.bytes);
        try {
            PreparePages(Request(t_ / c.name, c.kind));
            ADD_FAILURE() << c.name << " was read";
        } catch (const ManualError& e) {
            EXPECT_THAT(e.Reason(), HasSubstr(c.reason)) << c.name;
        }
        EXPECT_THAT(CacheEntries(CacheRoot()), ::testing::IsEmpty()) << c.name;
    }
}

TEST_F(ManualPagesTest, ArchivePagesInNaturalOrderWithoutOtherMembers) {
    TempFolder pictures;
    std::vector<std::pair<std::string, std::string>> members;
    // Each page's width tells which it is.
    for (const auto& [name, width] : std::vector<std::pair<std::string, int>>{
             {"scans/p10.png", 10}, {"scans/p2.png", 2}, {"scans/p1.png", 1}}) {
        kavro::testing::WritePng(pictures / "x.png", width, 5);
        members.emplace_back(name, kavro::testing::ReadFile(pictures / "x.png"));
    }
    members.emplace_back("__MACOSX/scans/._p1.png", "junk");
    members.emplace_back("scans/readme.txt", "hello");
    kavro::testing::WriteZip(t_ / "m.cbz", members);

    const std::vector<Page> pages = PreparePages(Request(t_ / "m.cbz", ManualKind::Archive));
    ASSERT_EQ(pages.size(), 3u);
    EXPECT_EQ(pages[0].width, 1);
    EXPECT_EQ(pages[1].width, 2);
    EXPECT_EQ(pages[2].width, 10);

    kavro::testing::WriteZip(t_ / "text.zip", {{"readme.txt", "hello"}});
    EXPECT_THROW(PreparePages(Request(t_ / "text.zip", ManualKind::Archive)), ManualError);
}

TEST_F(ManualPagesTest, OldestEntriesGoFirstPastTheLimit) {
    TempFolder pictures;
    kavro::testing::WritePng(pictures / "p.png", 64, 64);
    const std::string png = kavro::testing::ReadFile(pictures / "p.png");
    std::vector<std::string> keys;
    for (int i = 0; i < 3; ++i) {
        const fs::path file = t_ / ("m" + std::to_string(i) + ".cbz");
        kavro::testing::WriteZip(file, {{"p1.png", png}, {"p2.png", png}});
        keys.push_back(cache_.KeyOf(file.string(), 0));
    }
    const std::uintmax_t entry = 2 * png.size() + 2 * 13;  // two pages and their list
    const PageCache small((t_ / "cache").string(), entry * 2 + entry / 2);
    auto prepare = [&](int i, std::chrono::minutes age) {
        PrepareRequest request =
            Request(t_ / ("m" + std::to_string(i) + ".cbz"), ManualKind::Archive);
        request.cache = &small;
        PreparePages(request);
        // Used at a known time, so the order does not rest on the clock's resolution.
        fs::last_write_time(CacheRoot() / keys[static_cast<std::size_t>(i)] / "pages",
                            fs::file_time_type::clock::now() - age);
    };
    prepare(0, std::chrono::minutes(30));
    prepare(1, std::chrono::minutes(20));
    // Entry 0 used again: now entry 1 is the oldest.
    ASSERT_TRUE(small.Find(keys[0]));
    prepare(2, std::chrono::minutes(0));
    const std::vector<std::string> left = CacheEntries(CacheRoot());
    EXPECT_THAT(left, ::testing::UnorderedElementsAre(keys[0], keys[2]));
}

TEST(ManualDocument, OnePageASectionAtTheColumnsWidthWithItsPlaceholder) {
    const std::vector<Page> pages{{"/c/page-0001.png", 1000, 1500}, {"/c/page-0002.png", 0, 0}};
    const std::string xml = ManualXml(pages, "A & B.pdf", 12000, 9000);
    EXPECT_THAT(xml, HasSubstr("caption=\"A &amp; B.pdf\""));
    // 90 % of 12000 twips wide; 10800 * 1.5 = 16200 twips high, 180 % of 9000.
    EXPECT_THAT(xml, HasSubstr("<img src=\"manual-page-1\" width=\"90.0000\" "
                               "height=\"180.0000\" stretch=\"0\">page 1 of 2</img>"));
    // A page of unknown shape is taken as A4.
    EXPECT_THAT(xml, HasSubstr("height=\"169.7056\" stretch=\"0\">page 2 of 2</img>"));
    EXPECT_EQ(PageWidthPixels(12000), 720);
}

}  // namespace
}  // namespace kavro::manuals
