#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "import/GlyphTable.h"
#include "import/ImportTestSupport.h"

namespace kavro::testing {
namespace {

std::string Page(const std::string& lines) {
    return "$info=mkick\n$cmd\n" + lines + "$end\n";
}

TEST(DatConverter, OneSectionPerPageAndTextBetweenPagesIgnored) {
    const std::string text =
        "$info=mkick\nnot on a page\n$cmd\nfirst\n$end\nbetween\n$cmd\nsecond\n$end\nafter\n";
    const auto doc = Read(Convert(text).xml);
    ASSERT_EQ(doc.SectionCount(), 2);
    EXPECT_EQ(doc.SectionMarkup[1], "|bg=page|\nfirst\n|bge|");
    EXPECT_EQ(doc.SectionMarkup[2], "|bg=page|\nsecond\n|bge|");
    EXPECT_EQ(Convert(text).xml.find("between"), std::string::npos);
    EXPECT_EQ(Convert(text).xml.find("not on a page"), std::string::npos);
    EXPECT_TRUE(Convert(text).problems.empty());
}

TEST(DatConverter, CommentsAndCarriageReturnsLeaveNoTrace) {
    const std::string lf = "$info=mkick\n# about\n$cmd\n[Title]\n# inside\n  a  b\n$end\n";
    std::string crlf;
    for (char c : lf)
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    EXPECT_EQ(Convert(crlf).xml, Convert(lf).xml);
    EXPECT_EQ(Section(lf, 1), "|bg=page|\n|fs=title|Title|fed|\n  a  b\n|bge|");
}

TEST(DatConverter, TitleForms) {
    EXPECT_EQ(Section(Page("[ Ryu ]\nx\n"), 1), "|bg=page|\n|fs=title|Ryu|fed|\nx\n|bge|");
    EXPECT_EQ(Section(Page("«Ken»\nx\n"), 1), "|bg=page|\n|fs=title|Ken|fed|\nx\n|bge|");
    EXPECT_EQ(Section(Page("Guile\n-----\nx\n"), 1),
              "|bg=page|\n|fs=title|Guile|fed|\n|fs=rule|-----|fed|\nx\n|bge|");
    // A plain first line without dashes under it is an ordinary line; three dashes are the
    // shortest rule, two are text.
    EXPECT_EQ(Section(Page("Blanka\nx\n"), 1), "|bg=page|\nBlanka\nx\n|bge|");
    EXPECT_EQ(Section(Page("Honda\n---\nx\n"), 1),
              "|bg=page|\n|fs=title|Honda|fed|\n|fs=rule|---|fed|\nx\n|bge|");
    EXPECT_EQ(Section(Page("Dhalsim\n--\n"), 1), "|bg=page|\nDhalsim\n--\n|bge|");
    // Empty lines around a page's text are dropped; empty lines inside it stay.
    EXPECT_EQ(Section(Page("\n\n[Zangief]\n\nx\n\n"), 1),
              "|bg=page|\n|fs=title|Zangief|fed|\n\nx\n|bge|");
}

TEST(DatConverter, BlanksAndColumnsKept) {
    const std::string line = "  Hadouken        _2_3_6 + _P   (air)  ";
    EXPECT_EQ(Section(Page(line + "\n"), 1),
              "|bg=page|\n  Hadouken        |ic=down|↓||ic=downright|↘||ic=right|→| + "
              "|ic=punch|[P]|   (air)  \n|bge|");
    // A tab reaches the next column that is a multiple of eight.
    EXPECT_EQ(Section(Page("ab\tc\n\td\n"), 1), "|bg=page|\nab      c\n        d\n|bge|");
}

TEST(DatConverter, EveryGlyphCodeBecomesAnIconWithItsFallback) {
    const auto codes = import::AllGlyphCodes();
    EXPECT_EQ(codes.size(), 20u + 56u + 26u + 26u + 1u + 20u + 54u);
    for (const std::string& code : codes) {
        const auto glyph = code[0] == '@' ? import::FindWordGlyph(code.substr(1))
                                          : import::FindGlyph(code[0], code[1]);
        ASSERT_TRUE(glyph) << code;
        const std::string expected =
            "x |ic=" + std::string(glyph->icon) + "|" + std::string(glyph->fallback) + "| y";
        EXPECT_EQ(Section(Page("x " + code + " y\n"), 1), "|bg=page|\n" + expected + "\n|bge|")
            << code;
    }
}

TEST(DatConverter, EveryIconOfTheTablesIsBundled) {
    const auto folder = std::filesystem::path(KAVRO_SOURCE_DIR) / "metadata/default/icons";
    ASSERT_TRUE(std::filesystem::is_directory(folder)) << folder << " is missing";
    const auto icons = import::AllGlyphIcons();
    EXPECT_GT(icons.size(), 140u);
    for (std::string_view icon : icons) {
        std::ifstream in(folder / (std::string(icon) + ".gif"), std::ios::binary);
        unsigned char header[10] = {};
        in.read(reinterpret_cast<char*>(header), sizeof header);
        ASSERT_TRUE(in) << icon << ".gif is missing";
        EXPECT_EQ(std::string(reinterpret_cast<char*>(header), 6), "GIF89a") << icon;
        EXPECT_EQ(header[6] | header[7] << 8, 32) << icon;
        EXPECT_EQ(header[8] | header[9] << 8, 32) << icon;
    }
}

TEST(DatConverter, GlyphTablesSpotChecks) {
    EXPECT_EQ(import::FindGlyph('_', 'A')->icon, "a");
    EXPECT_EQ(import::FindGlyph('_', 'j')->fallback, "[10]");
    EXPECT_EQ(import::FindGlyph('_', 't')->icon, "qdf");
    EXPECT_EQ(import::FindGlyph('_', 'R')->icon, "dsb");
    EXPECT_EQ(import::FindGlyph('^', 'E')->icon, "lp");
    EXPECT_EQ(import::FindGlyph('^', 'J')->icon, "hk");
    EXPECT_EQ(import::FindGlyph('^', '6')->icon, "charge-right");
    EXPECT_EQ(import::FindWordGlyph("Z-button")->icon, "z");
    EXPECT_EQ(import::FindWordGlyph("qdf")->icon, import::FindGlyph('_', 't')->icon);
    EXPECT_EQ(import::FindWordGlyph("dsb")->icon, import::FindGlyph('_', 'R')->icon);
    EXPECT_EQ(import::FindWordGlyph("8player")->icon, "player8");
}

TEST(DatConverter, MarkersFollowedByOtherCharactersStayText) {
    // "_E", "^A", "^^" and "_" before a non-ASCII character are not in the tables; neither is
    // "@" before an unknown word, a word with more after it, or nothing.
    const std::string line = "_E ^A ^^ _é @foo @A-buttons @ a_ b^ @";
    EXPECT_EQ(Section(Page(line + "\n"), 1), "|bg=page|\n" + line + "\n|bge|");
    // The word of "@" runs to the next blank only.
    EXPECT_EQ(Section(Page("@A-button,\n"), 1), "|bg=page|\n@A-button,\n|bge|");
    EXPECT_EQ(Section(Page("@A-button\n"), 1), "|bg=page|\n|ic=a|[A]|\n|bge|");
}

TEST(DatConverter, XmlAndMarkupCharactersAreEscaped) {
    EXPECT_EQ(Section(Page("a < b && c > \"d\" 'e'\n"), 1),
              "|bg=page|\na < b && c > \"d\" 'e'\n|bge|");
    // "|" would split the line into fields: it becomes the broken bar.
    EXPECT_EQ(Section(Page("|x| y | z\n"), 1), "|bg=page|\n¦x¦ y ¦ z\n|bge|");
    // A line or a text after an icon that starts like a markup code keeps its text.
    EXPECT_EQ(Section(Page("Fed up\n_Abg=1\n"), 1),
              "|bg=page|\n\u200BFed up\n|ic=a|[A]|\u200Bbg=1\n|bge|");
    // "~" is dropped from fields of one or two characters; there it becomes "∼".
    EXPECT_EQ(Section(Page("_A~_B\n"), 1), "|bg=page|\n|ic=a|[A]|∼|ic=b|[B]|\n|bge|");
    EXPECT_EQ(Section(Page("_A~~_B\n"), 1), "|bg=page|\n|ic=a|[A]|∼∼|ic=b|[B]|\n|bge|");
    EXPECT_EQ(Section(Page("_A~~~_B\n"), 1), "|bg=page|\n|ic=a|[A]|~~~|ic=b|[B]|\n|bge|");
    // The caption is an attribute value.
    EXPECT_NE(Convert("$info=a\"b\n$cmd\nx\n$end\n", "cmd", "a\"b").xml.find("caption=\"a&quot;b"),
              std::string::npos);
}

TEST(DatConverter, InvalidBytesAreReplaced) {
    // A lone continuation byte, a cut-off sequence, an overlong "/", a surrogate, a control
    // character.
    const auto result = Convert(Page("a\x80 b\xC3 c\xC0\xAF d\xED\xA0\x80 e\x01\n"));
    const auto doc = Read(result.xml);
    ASSERT_EQ(doc.SectionCount(), 1);
    EXPECT_EQ(doc.SectionMarkup[1],
              "|bg=page|\na\uFFFD b\uFFFD c\uFFFD\uFFFD d\uFFFD\uFFFD\uFFFD e\uFFFD\n|bge|");
    ASSERT_EQ(result.problems.size(), 1u);
    EXPECT_EQ(result.problems[0].line, 3);
}

TEST(DatConverter, EntryWithoutPagesIsNoDocument) {
    const auto result = Convert("$info=mkick\nonly text\n");
    EXPECT_EQ(result.sections, 0);
    EXPECT_EQ(result.xml, "");
    ASSERT_EQ(result.problems.size(), 1u);
    EXPECT_EQ(result.problems[0].text, "the entry has no $cmd text");
}

TEST(DatConverter, PagesWithoutEnd) {
    const auto result = Convert("$info=mkick\n$cmd\none\n$cmd\ntwo\n");
    const auto doc = Read(result.xml);
    ASSERT_EQ(doc.SectionCount(), 2);
    EXPECT_EQ(doc.SectionMarkup[2], "|bg=page|\ntwo\n|bge|");
    ASSERT_EQ(result.problems.size(), 2u);
    EXPECT_EQ(result.problems[0].line, 2);
    EXPECT_EQ(result.problems[1].line, 4);
    EXPECT_EQ(result.problems[1].text, "the page has no $end (the entry ends)");
}

TEST(DatConverter, TextWidthFollowsTheLongestLineWithinBounds) {
    const auto width = [](const std::string& page) {
        const auto xml = Convert(Page(page)).xml;
        const auto at = xml.find("<textwidth>") + 11;
        return std::stoi(xml.substr(at, xml.find('<', at) - at));
    };
    EXPECT_EQ(width("x\n"), 40);
    EXPECT_EQ(width(std::string(40, 'x') + "\n"), 40);
    EXPECT_EQ(width(std::string(41, 'x') + "\n"), 41);
    EXPECT_EQ(width(std::string(120, 'x') + "\n"), 120);
    EXPECT_EQ(width(std::string(121, 'x') + "\n"), 120);
    // An icon takes two columns, a wide character two, a title its size in percent.
    EXPECT_EQ(width(std::string(38, 'x') + "_A_B\n"), 42);
    EXPECT_EQ(width(std::string(20, 'x') + "武武武武武武武武武武武\n"), 42);
    // Among the wide characters, the ideographic half fill space is narrow.
    std::string half_fill;
    for (int i = 0; i < 22; ++i)
        half_fill += "\u303F";
    EXPECT_EQ(width(std::string(20, 'x') + half_fill + "\n"), 42);
    EXPECT_EQ(width("[" + std::string(40, 'x') + "]\n"), 48);
}

TEST(DatConverter, HistoryWithBio) {
    const std::string text =
        "$info=mkick,mkickj\n$bio\nMoonlight Kickers (c) 2026.\n\n- TECHNICAL -\n"
        "Two players.\n$end\n$mame\nnot history\n$end\n";
    const auto result = Convert(text, "bio");
    const auto doc = Read(result.xml);
    ASSERT_EQ(doc.SectionCount(), 1);
    EXPECT_EQ(doc.SectionMarkup[1],
              "|bg=page|\nMoonlight Kickers (c) 2026.\n\n|fs=heading|- TECHNICAL -|fed|\n"
              "Two players.\n|bge|");
    EXPECT_TRUE(result.problems.empty());
    // Glyph codes mean nothing in a history.
    EXPECT_EQ(Section("$info=a\n$bio\n_A ^E\n$end\n", 1, "bio"), "|bg=page|\n_A ^E\n|bge|");
}

TEST(DatConverter, HistoryWithoutBioAndWithOtherBlocksFirst) {
    EXPECT_EQ(Section("$info=a\nText right away.\n$end\n", 1, "bio"),
              "|bg=page|\nText right away.\n|bge|");
    EXPECT_EQ(Section("$info=a\n$story\nscores\n$end\n$bio\nThe game.\n$end\n", 1, "bio"),
              "|bg=page|\nThe game.\n|bge|");
    const auto empty = Convert("$info=a\n$mame\nx\n$end\n", "bio", "a");
    EXPECT_EQ(empty.sections, 0);
    EXPECT_EQ(empty.xml, "");
}

TEST(DatConverter, HistoryParagraphsAreWrappedAtSixtyColumns) {
    const std::string sixty(60, 'x');
    EXPECT_EQ(Section("$info=a\n$bio\n" + sixty + "\n$end\n", 1, "bio"),
              "|bg=page|\n" + sixty + "\n|bge|");
    EXPECT_EQ(Section("$info=a\n$bio\n" + sixty + "y\n$end\n", 1, "bio"),
              "|bg=page|\n" + sixty + "\ny\n|bge|");
    EXPECT_EQ(Section("$info=a\n$bio\n" + std::string(55, 'x') + " words here\n$end\n", 1, "bio"),
              "|bg=page|\n" + std::string(55, 'x') + "\nwords here\n|bge|");
}

// An entry of several names is converted once: the document for another of its names is the
// one converted for that name, caption escaped and repaired alike.
TEST(DatConverter, DocumentForAnotherNameOfTheEntry) {
    const std::string text = "$info=a,b\n$cmd\n[T]\nx\n$end\n";
    const import::ConvertedEntry first = Convert(text, "cmd", "a");
    for (const std::string name : {"b", "a\"<&>b", "bad\xff", "", "a"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(import::DocumentFor(first, name), Convert(text, "cmd", name).xml);
    }
}

}  // namespace
}  // namespace kavro::testing
