#include "document/Diagnostics.h"

#include <gtest/gtest.h>

#include "document/DocumentTestSupport.h"

namespace kavro::document {
namespace {

using testing::Converter;

// A converter with the authoring checks attached.
struct Checked : Converter {
    Diagnostics diagnostics;
    Checked() { handler.AttachDiagnostics(&diagnostics); }

    // The one finding whose message contains text; fails the test when there is not exactly one.
    Finding One(const std::string& text) const {
        std::vector<Finding> hits;
        for (const Finding& f : diagnostics.findings)
            if (f.message.find(text) != std::string::npos) hits.push_back(f);
        EXPECT_EQ(hits.size(), 1u) << "findings with \"" << text << "\": " << All();
        return hits.empty() ? Finding{} : hits.front();
    }
    std::string All() const {
        std::string all;
        for (const Finding& f : diagnostics.findings)
            all += FormatFinding(f) + "\n";
        return all;
    }
};

void ExpectAt(const Finding& f, long line, long column) {
    EXPECT_EQ(f.where.line, line) << f.message;
    EXPECT_EQ(f.where.column, column) << f.message;
    EXPECT_EQ(f.where.file, "doc.xml");
}

TEST(ClosestNameTest, SuggestsOnlyLikelyMisspellings) {
    EXPECT_EQ(ClosestName("fnt", {"font", "icon", "img"}), "font");
    EXPECT_EQ(ClosestName("COLOUR", {"size", "color"}), "color");
    EXPECT_EQ(ClosestName("marbel", {"night", "marble"}), "marble");
    EXPECT_EQ(ClosestName("banana", {"font", "icon"}), "");
    EXPECT_EQ(ClosestName("font", {"font"}), "");  // not a misspelling
    EXPECT_EQ(ClosestName("x", {}), "");
    EXPECT_EQ(ClosestName("widht", {"src", "width"}), "width");  // swapped letters: one slip
    // The bound: a third of the longer name. "subb" to "sub" is one edit of four letters.
    EXPECT_EQ(ClosestName("subb", {"sub"}), "sub");
    EXPECT_EQ(ClosestName("abcdef", {"abxyef"}), "abxyef");  // 2 edits, 6 letters: allowed
    EXPECT_EQ(ClosestName("abcdef", {"axxxef"}), "");        // 3 edits: too far
}

TEST(FormatFindingTest, CompilerForm) {
    EXPECT_EQ(FormatFinding({{"a.xml", 12, 3}, Severity::Warning, "m"}), "a.xml:12:3: warning: m");
    EXPECT_EQ(FormatFinding({{"a.xml", 0, 0}, Severity::Error, "m"}), "a.xml: error: m");
    EXPECT_EQ(FormatFinding({{"a.xml", 4, 0}, Severity::Info, "m"}), "a.xml:4: info: m");
}

TEST(AdvanceTest, CountsCharactersNotBytes) {
    SourcePosition p{"f", 3, 5};
    Advance(p, "\xC3\xA9t\xC3\xA9");  // three characters in five bytes
    EXPECT_EQ(p.line, 3);
    EXPECT_EQ(p.column, 8);
    Advance(p, "a\nbc");
    EXPECT_EQ(p.line, 4);
    EXPECT_EQ(p.column, 3);
}

TEST(HandlerChecksTest, UnknownElementsAndAttributesWithHints) {
    Checked c;
    c.Parse(
        "<anything>\n"
        "<head><fontmacro size=\"100\" colour=\"1,2,3\" color=\"1,2,3\">n</fontmacro></head>\n"
        "<section bg=\"night\">\n"
        "  <fnt name=\"big\">x</fnt> <banana/>\n"
        "<img src=\"a.png\" widht=\"3\"/>\n"
        "</section></anything>",
        "doc.xml");
    ExpectAt(c.One("<fnt> is ignored; did you mean <font>?"), 4, 3);
    ExpectAt(c.One("\"colour\" of <fontmacro> is ignored; did you mean \"color\"?"), 2, 7);
    ExpectAt(c.One("\"widht\" of <img> is ignored; did you mean \"width\"?"), 5, 1);
    EXPECT_EQ(c.One("<banana>").message, "unknown element <banana> is ignored");
    // The root element may have any name.
    EXPECT_EQ(c.diagnostics.findings.size(), 4u) << c.All();
    ASSERT_EQ(c.diagnostics.files.size(), 1u);
    EXPECT_EQ(c.diagnostics.files[0].line, 1);
}

TEST(HandlerChecksTest, ValuesThatAreNotUsedAsWritten) {
    Checked c;
    c.Parse(
        "<d><head>\n"
        "<textwidth>forty</textwidth>\n"
        "<fontmacro size=\"big\" color=\"300,-5,0\">a</fontmacro>\n"
        "<fontmacro color=\"300,5,0,9\">b</fontmacro>\n"
        "<fontmacro size=\"100\">c</fontmacro>\n"
        "<bgmacro name=\"n\" style=\"4\"/><bgmacro name=\"m\" style=\"3\"/>\n"
        "</head><section><img src=\"p.png\" width=\"wide\" stretch=\"yes\"/></section></d>",
        "doc.xml");
    ExpectAt(c.One("textwidth \"forty\" is not a number: 40 characters per line are used"), 2, 12);
    ExpectAt(c.One("size \"big\" is not a number"), 3, 1);
    EXPECT_NE(c.One("color \"300,-5,0\"").message.find("\"-5\" is not a number from 0 to 255"),
              std::string::npos);
    EXPECT_NE(c.One("color \"300,5,0,9\"").message.find("the colour used is 255,5,0"),
              std::string::npos);
    ExpectAt(c.One("has no size"), 4, 1);
    ExpectAt(c.One("has no color"), 5, 1);
    ExpectAt(c.One("style \"4\""), 6, 1);
    c.One("width \"wide\"");
    c.One("stretch \"yes\"");
}

TEST(HandlerChecksTest, RangesAtTheirBoundaries) {
    Checked c;
    c.Parse(
        "<d><head>\n"
        "<fontmacro size=\"0\" color=\"0,0,0\">a</fontmacro>\n"          // 2: below
        "<fontmacro size=\"1\" color=\"255,255,255\">b</fontmacro>\n"    // 3: lowest
        "<fontmacro size=\"1000\" color=\"0,0,0\">c</fontmacro>\n"       // 4: highest
        "<fontmacro size=\"1000.5\" color=\"256,0,-1\">d</fontmacro>\n"  // 5: above
        "<bgmacro style=\"3\"/><bgmacro style=\"-1\"/>\n"                // 6
        "<textwidth>0</textwidth><textwidth>1</textwidth>\n"             // 7
        "</head></d>",
        "doc.xml");
    ExpectAt(c.One("size 0 is outside"), 2, 1);
    ExpectAt(c.One("size 1000.5 is outside"), 5, 1);
    const Finding colour = c.One("color \"256,0,-1\"");
    EXPECT_NE(colour.message.find("256 counts as 255"), std::string::npos) << colour.message;
    EXPECT_NE(colour.message.find("\"-1\" is not a number from 0 to 255"), std::string::npos);
    ExpectAt(c.One("style \"-1\""), 6, 21);
    ExpectAt(c.One("textwidth 0: 40 characters"), 7, 12);
    EXPECT_EQ(c.diagnostics.findings.size(), 5u) << c.All();
}

TEST(HandlerChecksTest, TextThatIsNotShown) {
    Checked c;
    c.Parse(
        "<d>\n"
        "  stray words\n"
        "<head><fontmacro size=\"100\" color=\"1,1,1\">a</fontmacro>  renamed\n"
        "</head>\n"
        "<font name=\"a\"/>\n"
        "<Section>x</Section>\n"
        "</d>",
        "doc.xml");
    ExpectAt(c.One("text outside any section"), 2, 3);
    ExpectAt(c.One("renames the macro to \"renamed\""), 3, 58);
    ExpectAt(c.One("<font> outside any section"), 5, 1);
    ExpectAt(c.One("only </section> in lower case"), 6, 1);
}

TEST(HandlerChecksTest, SectionMarkupLeadsBackToItsSource) {
    Checked c;
    const std::string xml =
        "<d><section bg=\"a\">\n"
        "Title\n"
        "\t\tindented <font name=\"x\">big</font>\n"
        "<icon name=\"up\"/>\n"
        "</section></d>";
    c.Parse(xml, "doc.xml");
    ASSERT_EQ(c.doc.SectionCount(), 1);
    ASSERT_EQ(c.diagnostics.sections.size(), 2u);
    const SectionSource& source = c.diagnostics.sections[1];
    const std::string& markup = c.doc.SectionMarkup[1];
    EXPECT_EQ(source.file, "doc.xml");
    const auto at = [&](const std::string& piece) {
        std::size_t offset = markup.find(piece);
        if (piece.front() == '|') ++offset;  // a field starts after its separator
        EXPECT_NE(offset, std::string::npos) << piece;
        const SourcePosition p = source.At(markup, offset);
        return std::make_pair(p.line, p.column);
    };
    EXPECT_EQ(at("|bg=a|"), std::make_pair(1L, 4L));
    EXPECT_EQ(at("Title"), std::make_pair(2L, 1L));
    EXPECT_EQ(at("indented"), std::make_pair(3L, 3L));  // after the two tabs
    EXPECT_EQ(at("|fs=x|"), std::make_pair(3L, 12L));
    EXPECT_EQ(at("big"), std::make_pair(3L, 27L));
    EXPECT_EQ(at("|ic=up|"), std::make_pair(4L, 1L));
    EXPECT_TRUE(c.diagnostics.findings.empty()) << c.All();
}

TEST(HandlerChecksTest, NothingIsCollectedWithoutDiagnostics) {
    Converter c;
    c.Parse("<d><fnt/><section>x</section></d>");
    EXPECT_EQ(c.handler.diagnostics(), nullptr);
    EXPECT_EQ(c.doc.SectionMarkup[1], "|bg=default|x|bge|");
}

TEST(HandlerChecksTest, FindingsDoNotChangeTheConversion) {
    const std::string xml =
        "<d><head><fontmacro size=\"x\" color=\"1,2,3\">a</fontmacro></head>"
        "<fnt/><section bg=\"q\" z=\"2\">t<font name=\"a\" y=\"1\">u</font></section>tail</d>";
    Converter plain;
    plain.Parse(xml);
    Checked checked;
    checked.Parse(xml);
    EXPECT_EQ(plain.doc.SectionMarkup, checked.doc.SectionMarkup);
    EXPECT_EQ(plain.doc.FontMacros.Columns(), checked.doc.FontMacros.Columns());
    EXPECT_FALSE(checked.diagnostics.findings.empty());
}

}  // namespace
}  // namespace kavro::document
