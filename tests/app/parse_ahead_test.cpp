#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "app/ParseAhead.h"
#include "document/DocumentConverter.h"

namespace kavro::app {
namespace {

class ParseAheadTest : public ::testing::Test {
  protected:
    void TearDown() override {
        std::error_code ec;
        std::filesystem::remove(path_, ec);
    }
    const std::string& File(const std::string& xml) {
        std::ofstream(path_, std::ios::binary) << xml;
        return path_;
    }
    static std::string Sections(int count) {
        std::string body;
        for (int s = 0; s < count; ++s)
            body += "<section bg=\"b" + std::to_string(s) + "\">text " + std::to_string(s) +
                    "<icon name=\"lp\"></icon></section>";
        return body;
    }

    document::SaxReader reader_;
    document::ConvertedDocument viewer_doc_;
    document::HandlerContext viewer_context_;
    document::ContentHandler viewer_handler_{viewer_doc_, viewer_context_, nullptr};

  private:
    std::string path_ = (std::filesystem::temp_directory_path() /
                         ("kavro-parse-ahead-" + std::to_string(::getpid()) + ".xml"))
                            .string();
};

// The sections come out in order as a reading in one go converts them, and the rest of the
// document (macros, width, info text, caption) arrives with Finish.
TEST_F(ParseAheadTest, HandsOverWhatAReadingInOneGoGives) {
    const std::string& path = File(
        "<document><info caption=\"Cap\"/><head><textwidth>33</textwidth>"
        "<fontmacro size=\"150\" color=\"1,2,3\">big</fontmacro></head>" +
        Sections(40) + "</document>");
    document::ConvertedDocument whole;
    document::HandlerContext context;
    document::DocumentConverter(whole, context).ParseFile(path);

    reader_.contentHandler = &viewer_handler_;
    document::ConvertedDocument doc;
    ParseAhead reading(reader_, viewer_context_, doc, path);
    EXPECT_NE(reader_.contentHandler, &viewer_handler_);  // the reading's until it ends
    ASSERT_TRUE(reading.TakeHead(doc));
    EXPECT_EQ(doc.LineChars, 33);
    EXPECT_TRUE(doc.FontMacros == whole.FontMacros);
    int n = 0;
    while (std::optional<std::string> markup = reading.NextSection()) {
        ++n;
        ASSERT_LT(n, static_cast<int>(whole.SectionMarkup.size()));
        EXPECT_EQ(*markup, whole.SectionMarkup[static_cast<std::size_t>(n)]) << n;
    }
    EXPECT_EQ(n, 40);
    std::optional<std::string> caption;
    EXPECT_TRUE(reading.Finish(doc, caption));
    EXPECT_EQ(caption, "Cap");
    EXPECT_EQ(doc.InfoText, "Cap");
    EXPECT_TRUE(doc.BgMacros == whole.BgMacros);
    EXPECT_EQ(reader_.contentHandler, &viewer_handler_);
}

// The head is what was in force when the first section was handed over; a macro after it is
// told by Finish, which gives the final tables.
TEST_F(ParseAheadTest, FinishTellsOfAMacroAfterTheFirstSection) {
    const std::string& path = File(
        "<document><head><textwidth>20</textwidth></head>" + Sections(3) +
        "<fontmacro size=\"90\" color=\"1,1,1\">late</fontmacro>" + Sections(1) + "</document>");
    document::ConvertedDocument doc;
    ParseAhead reading(reader_, viewer_context_, doc, path);
    ASSERT_TRUE(reading.TakeHead(doc));
    EXPECT_EQ(doc.FontMacros.UBound(), 0);
    while (reading.NextSection()) {
    }
    std::optional<std::string> caption;
    EXPECT_FALSE(reading.Finish(doc, caption));
    EXPECT_EQ(doc.FontMacros.UBound(), 1);
    EXPECT_FALSE(caption.has_value());
}

TEST_F(ParseAheadTest, FailureStopsTheSectionsAndFinishThrowsIt) {
    const std::string& path = File("<document>" + Sections(5) + "<section>x</sectoin></document>");
    document::ConvertedDocument doc;
    ParseAhead reading(reader_, viewer_context_, doc, path);
    reading.TakeHead(doc);
    int n = 0;
    while (reading.NextSection())
        ++n;
    EXPECT_LE(n, 5);
    std::optional<std::string> caption;
    try {
        reading.Finish(doc, caption);
        ADD_FAILURE() << "no error";
    } catch (const document::LoadError& e) {
        EXPECT_EQ(e.Line(), 1);
        EXPECT_GT(e.Column(), 0);
    }
}

// A reading nobody waits for any more (the layout failed) ends at its next section; the reader
// is the viewer's again.
TEST_F(ParseAheadTest, AbandonedReadingEndsAndGivesTheReaderBack) {
    const std::string& path = File("<document>" + Sections(20000) + "</document>");
    reader_.contentHandler = &viewer_handler_;
    {
        document::ConvertedDocument doc;
        ParseAhead reading(reader_, viewer_context_, doc, path);
        ASSERT_TRUE(reading.TakeHead(doc));
        ASSERT_TRUE(reading.NextSection().has_value());
    }
    EXPECT_EQ(reader_.contentHandler, &viewer_handler_);
}

}  // namespace
}  // namespace kavro::app
