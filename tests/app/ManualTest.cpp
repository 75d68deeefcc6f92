#include <gmock/gmock.h>

#include <condition_variable>
#include <fstream>
#include <mutex>

#include "../manuals/SamplePdf.h"
#include "app/Manuals.h"
#include "app/Navigation.h"
#include "app/Resume.h"
#include "app/Settings.h"
#include "common/ViewerFixture.h"
#include "document/SaxReader.h"
#include "manuals/PdfPages.h"

namespace kavro::testing {
namespace {

using ::testing::HasSubstr;

// A viewer reading manuals, with a cache and a place file of its own.
class ManualViewerTest : public ViewerTest {
  protected:
    void SetUp() override {
        ViewerTest::SetUp();
        ::setenv("XDG_CACHE_HOME", (Home() / "cache").c_str(), 1);
    }

    app::Viewer& Open(const std::string& command_line, bool from_start = false) {
        app::Viewer& v = Start(command_line);
        v.ResumeFile = (Home() / "state" / "places").string();
        v.FromStart = from_start;
        app::timLoad_Timer(v);
        return v;
    }

    int PlacedPages(const app::Viewer& v) {
        int pages = 0;
        for (int i = 0; i <= v.form.imgImage.UBound(); ++i)
            if (const auto* image = v.form.imgImage.At(i); image && image->Visible) ++pages;
        return pages;
    }
};

TEST_F(ManualViewerTest, PdfManualIsOnePageASectionAtTheColumnsWidth) {
    Write("metadata/mk/manual.pdf", SamplePdf(4));
    app::Viewer& v = Open("mk manual");
    ASSERT_EQ(v.doc.SectionCount(), 4);
    EXPECT_EQ(PlacedPages(v), 4);
    const auto& area = v.form.fraScreenArea;
    const auto& page = v.form.imgImage[1];
    EXPECT_NEAR(page.Width, 0.9 * area.Width, 15);
    EXPECT_NEAR(page.Height, page.Width * 595.0 / 420.0, 30);
    EXPECT_EQ(v.form.Caption, "manual.pdf");
    // Pages are decoded only to be drawn, and not kept: a long manual holds none out of view.
    ASSERT_TRUE(page.Picture());
    EXPECT_EQ(page.Picture()->HeldBytes(), 0u);
    EXPECT_EQ(page.Picture()->PixelsToDraw()->size(),
              static_cast<std::size_t>(page.Picture()->Width() * page.Picture()->Height()));
    EXPECT_EQ(page.Picture()->HeldBytes(), 0u);

    // Zoomed, the pages are drawn wider.
    const float unzoomed = page.Width;
    Key(v.ZoomKey);
    EXPECT_NEAR(v.form.imgImage[1].Width, 0.9 * v.form.fraScreenArea.Width, 15);
    EXPECT_GT(v.form.imgImage[1].Width, unzoomed);
}

TEST_F(ManualViewerTest, DocumentOfTheItemWinsAndOtherNamesAreNoManuals) {
    Write("metadata/mk/manual.pdf", SamplePdf(2));
    Write("metadata/mk/guide.pdf", SamplePdf(3));
    Write("metadata/mk/manual.xml", "<document>" + Head() + "<section>own</section></document>");
    EXPECT_EQ(Open("mk manual").doc.SectionCount(), 1);
    EXPECT_THROW(Open("mk guide"), document::LoadError);
    Write("user-config/kavro/kavro.ini", "[Manuals]\nNames=manual; guide\n");
    EXPECT_EQ(Open("mk guide").doc.SectionCount(), 3);
}

TEST_F(ManualViewerTest, PatternsUseTheItemsSystemAndParent) {
    Write("media/arcade/mk2.cbz", "");  // not reached: the first pattern that exists wins
    StripedPicture("media/arcade/mk/scans/p1.png", 20, 30);
    StripedPicture("media/arcade/mk/scans/p2.png", 20, 30);
    Write("user-config/kavro/kavro.ini",
          "[Manuals]\nPaths=" + (Home() / "media/%parent%/%rom%.pdf").string() + ";" +
              (Home() / "media/%system%/%rom%/scans").string() + "\n");
    app::Viewer& v = Start("mk manual");
    v.item.system = "arcade";
    app::timLoad_Timer(v);
    EXPECT_EQ(v.doc.SectionCount(), 2);
    EXPECT_EQ(PlacedPages(v), 2);
}

TEST_F(ManualViewerTest, UnreadableManualIsALoadErrorNamingTheFile) {
    Write("metadata/mk/manual.pdf", "%PDF-1.4 broken");
    try {
        Open("mk manual");
        FAIL() << "a broken PDF was shown";
    } catch (const document::LoadError& e) {
        EXPECT_THAT(e.File(), HasSubstr("metadata/mk/manual.pdf"));
        EXPECT_THAT(e.what(), HasSubstr("not a readable PDF"));
    }
    EXPECT_FALSE(std::filesystem::exists(Home() / "cache" / "kavro" / "manuals" / "pages"));
}

TEST_F(ManualViewerTest, CacheLimitMustBeANumber) {
    Write("user-config/kavro/kavro.ini", "[Manuals]\nCacheMB=lots\n");
    EXPECT_THROW(app::ReadManualSettings((UserConfig() / "kavro/kavro.ini").string()),
                 app::SettingsError);
    Write("user-config/kavro/kavro.ini", "[Manuals]\nCacheMB=5\n");
    EXPECT_EQ(
        app::ReadManualSettings((UserConfig() / "kavro/kavro.ini").string()).cache_limit_bytes,
        5u << 20);
}

// Labels shown on section k's surface.
std::vector<std::string> TextOn(const app::Viewer& v, int k) {
    std::vector<std::string> texts;
    const auto* surface = v.form.picSection.At(k - 1);
    for (int i = 0; i <= v.form.lblText.UBound(); ++i)
        if (const auto* label = v.form.lblText.At(i);
            label && label->Visible && label->Container == surface && !label->Caption().empty())
            texts.push_back(label->Caption());
    return texts;
}

TEST_F(ManualViewerTest, PagesNotDrawnYetShowTheirPlaceUntilTheyArrive) {
    // The drawing thread waits in its wake-up call after its first run of pdftoppm until it is
    // let go, so the pages after that run are certainly not drawn while the view is looked at.
    const int count = 1 + manuals::kPagesPerRun + 2;
    const std::string total = std::to_string(count);
    Write("metadata/mk/manual.pdf", SamplePdf(count));
    std::mutex mutex;
    std::condition_variable changed;
    bool held = true;
    int wakes = 0;
    app::Viewer& v = Start("mk manual");
    v.wakeForPages = [&] {
        std::unique_lock lock(mutex);
        ++wakes;
        changed.notify_all();
        changed.wait(lock, [&] { return !held; });
    };
    app::timLoad_Timer(v);
    {
        std::unique_lock lock(mutex);
        ASSERT_TRUE(changed.wait_for(lock, std::chrono::seconds(60), [&] { return wakes > 0; }));
    }
    ASSERT_TRUE(v.pageDrawing);
    EXPECT_EQ(v.pageDrawing->Ready(), 1 + manuals::kPagesPerRun);
    ASSERT_EQ(v.doc.SectionCount(), count);
    EXPECT_THAT(TextOn(v, count), ::testing::ElementsAre("page " + total + " of " + total));
    EXPECT_THAT(TextOn(v, 1), ::testing::IsEmpty());  // the first page is there at once
    EXPECT_TRUE(v.form.lblPagesBar[0].Visible);
    EXPECT_EQ(v.form.lblPagesBar[0].Caption(),
              "page " + std::to_string(v.pagesShown) + " of " + total);
    {
        std::lock_guard lock(mutex);
        held = false;
        changed.notify_all();
    }
    for (int waited = 0; !v.pageDrawing->Finished() && waited < 600; ++waited)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_TRUE(v.pageDrawing->Finished());
    app::PagesArrived(v);
    EXPECT_EQ(PlacedPages(v), count);
    EXPECT_THAT(TextOn(v, count), ::testing::IsEmpty());
    EXPECT_FALSE(v.form.lblPagesBar[0].Visible);
    // Complete in the cache: the next start draws nothing.
    app::Viewer& again = Open("mk manual");
    EXPECT_FALSE(again.pageDrawing);
    EXPECT_EQ(PlacedPages(again), count);
}

// The section and how far into it the screen area's top is, in twips.
std::pair<int, float> Where(app::Viewer& v) {
    const auto* anchor = v.form.picSection.At(v.CurrentSection - 1);
    return {v.CurrentSection, v.form.fraScreenArea.Top - anchor->Top};
}

TEST_F(ManualViewerTest, TheNextStartOpensWhereTheExitKeyLeftEachDocument) {
    Write("metadata/mk/manual.pdf", SamplePdf(5));
    Load(Head() + "<section>one</section><section>two</section><section>three</section>");
    app::Viewer& manual = Open("mk manual");
    Key(manual.NextSectionKey);
    Key(manual.NextSectionKey);
    Key(manual.ScrollDownKey);
    Key(manual.ScrollDownKey);
    const auto left = Where(manual);
    EXPECT_EQ(left.first, 3);
    EXPECT_THROW(Key(manual.ExitKey), toolkit::ProgramEnd);

    app::Viewer& command = Open("mk command");
    EXPECT_EQ(command.CurrentSection, 1);  // another document: its own place (none)
    Key(command.LastSectionKey);
    EXPECT_THROW(Key(command.ExitKey), toolkit::ProgramEnd);

    app::Viewer& again = Open("mk manual");
    EXPECT_EQ(Where(again).first, left.first);
    EXPECT_NEAR(Where(again).second, left.second, 1);
    EXPECT_EQ(Open("mk command").CurrentSection, 3);
    EXPECT_EQ(Open("mk manual", true).CurrentSection, 1);  // --from-start
}

TEST_F(ManualViewerTest, AChangedDocumentOrADamagedPlaceFileStartsAtTheTop) {
    Load(Head() + "<section>one</section><section>two</section><section>three</section>");
    app::Viewer& v = Open("mk command");
    Key(v.LastSectionKey);
    EXPECT_THROW(Key(v.ExitKey), toolkit::ProgramEnd);
    EXPECT_EQ(Open("mk command").CurrentSection, 3);

    // Another section count: the document changed.
    Write("metadata/mk/command.xml",
          "<document>" + Head() +
              "<section>1</section><section>2</section><section>3</section>"
              "<section>4</section></document>");
    EXPECT_EQ(Open("mk command").CurrentSection, 1);

    for (const char* damaged : {"garbage\n", "4\t9\t0\tmk\tcommand\n", "\xff\xfe\t\t\n", ""}) {
        Write("state/places", damaged);
        EXPECT_EQ(Open("mk command").CurrentSection, 1) << damaged;
    }
}

TEST(ResumeStore, PlacesPerItemAndDocumentSurviveOddNamesAndStayBounded) {
    const std::string file =
        (std::filesystem::temp_directory_path() / ("kavro-places-" + std::to_string(::getpid())))
            .string();
    const app::ResumeStore store(file);
    EXPECT_FALSE(store.Find("mk", "command"));
    ASSERT_TRUE(store.Remember("mk", "command", {3, 2, 0.5}));
    ASSERT_TRUE(store.Remember("a\tb%", "x\ny", {2, 2, 0.25}));
    ASSERT_TRUE(store.Remember("mk", "command", {3, 3, 0.0}));
    EXPECT_EQ(store.Find("mk", "command")->section, 3);
    EXPECT_EQ(store.Find("a\tb%", "x\ny")->into, 0.25);
    EXPECT_FALSE(store.Find("mk", "history"));
    for (std::size_t i = 0; i <= app::ResumeStore::kMaxPlaces; ++i)
        store.Remember("rom" + std::to_string(i), "d", {1, 1, 0});
    EXPECT_FALSE(store.Find("mk", "command"));  // the oldest went
    EXPECT_TRUE(store.Find("rom" + std::to_string(app::ResumeStore::kMaxPlaces), "d"));
    std::filesystem::remove(file);
}

}  // namespace
}  // namespace kavro::testing
