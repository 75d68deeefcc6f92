// How information texts are shown: anchors, contribute blocks, headings, key caps, score
// tables; and which block a document of each name shows.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "import/DatIndex.h"
#include "import/ImportTestSupport.h"
#include "import/InfoText.h"

namespace kavro::testing {
namespace {

using Lines = std::vector<std::string>;

// Marks written readably: {key} for a key cap, <heading> for a heading.
std::string Readable(std::string text) {
    for (char& c : text)
        c = c == import::kKeyOpen     ? '{'
            : c == import::kKeyClose  ? '}'
            : c == import::kHeadOpen  ? '<'
            : c == import::kHeadClose ? '>'
                                      : c;
    return text;
}

Lines Readable(const Lines& lines) {
    Lines out;
    for (const std::string& line : lines)
        out.push_back(Readable(line));
    return out;
}

TEST(InfoText, AnchorsShowTheirLabels) {
    struct Case {
        const char* line;
        const char* shown;
        bool only_link;
    };
    const Case cases[] = {
        {"<a href=\"https://x.org/1\">Edit this entry</a>", "Edit this entry", true},
        {"<a href=https://x.org/1>unquoted</a>", "unquoted", true},
        {"<A HREF='x'>upper</A> case", "upper case", false},
        {"see <a href=\"1\">one</a> and <a href=\"2\">two</a>.", "see one and two.", false},
        {"  <a href=\"1\">a</a> <a href=\"2\">b</a>  ", "  a b  ", true},
        {"cut <a href=\"https://x.org/?id=1", "cut ", false},
        {"<a href=\"1\">no end", "no end", true},
        {"stray </a> close", "stray  close", false},
        {"<abbr> and <area> are not anchors", "<abbr> and <area> are not anchors", false},
        {"Edit this entry: https://x.org/?id=3", "Edit this entry: https://x.org/?id=3", true},
        {"https://x.org/page", "https://x.org/page", true},
        {"plain text", "plain text", false},
    };
    for (const Case& c : cases) {
        bool only_link = !c.only_link;
        EXPECT_EQ(import::ShowAnchors(c.line, &only_link), c.shown) << c.line;
        EXPECT_EQ(only_link, c.only_link) << c.line;
    }
}

TEST(InfoText, HistoryHeadingsAndContributeBlocks) {
    struct Case {
        Lines in;
        Lines out;
    };
    const Case cases[] = {
        {{"Text.", "", "- TECHNICAL -", "Game No. 9", "", "- CONTRIBUTE -", "",
          "<a href=\"https://x.org/?a&b\">Edit this entry</a>"},
         {"Text.", "", "<- TECHNICAL ->", "Game No. 9", ""}},
        // The older form, and a contribute block followed by another heading.
        {{"- CONTRIBUTE -", "Edit this entry: https://x.org/1", "- SERIES -", "One."},
         {"<- SERIES ->", "One."}},
        // A contribute block with words of its own stays, links shown as labels.
        {{"- CONTRIBUTE -", "Send scans to <a href=\"mailto:x\">the editor</a>."},
         {"<- CONTRIBUTE ->", "Send scans to the editor."}},
        // Not headings: no blanks inside the dashes, nothing between them.
        {{"-TRIVIA-", "-  -", "  - TIPS AND TRICKS -  "},
         {"-TRIVIA-", "-  -", "<- TIPS AND TRICKS ->"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Readable(import::HistoryLines(c.in)), c.out);
}

TEST(InfoText, NotesHeadingsBlankLinesAndKeyCaps) {
    struct Case {
        Lines in;
        Lines out;
    };
    const Case cases[] = {
        {{"INITIALIZATION: Press [ F2 ], then [ 9 ].", "", "", "TIPS:", "Hold [F2] [Enter]."},
         {"<INITIALIZATION:> Press {F2}, then {9}.", "", "<TIPS:>", "Hold {F2} {Enter}."}},
        // Headings: "Words:" alone (short, one colon) or CAPITALS: at the start.
        {{"Other Emulators:", "Romset: 2048 kb", "LEVELS: 8", " INDENTED: no",
          "Note: a sentence that ends with a colon but is far too long to be a heading:"},
         {"<Other Emulators:>", "Romset: 2048 kb", "<LEVELS:> 8", " INDENTED: no",
          "Note: a sentence that ends with a colon but is far too long to be a heading:"}},
        // Key caps: blanks inside, or a key's name; other brackets stay.
        {{"[ Left Shift ] [1987] [x] [F12] [F123] [ ] [ unterminated", "[a [ b ]"},
         {"{Left\xC2\xA0Shift} [1987] {x} {F12} [F123] [ ] [ unterminated", "[a {b}"}},
        // Leading and trailing blank lines collapse like the others.
        {{"", "", "a", "", "", "", "b", ""}, {"a", "", "b", ""}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Readable(import::NotesLines(c.in)), c.out);
}

TEST(InfoText, StoryRecordsBecomeTwoAlignedColumns) {
    struct Case {
        Lines in;
        Lines out;
    };
    const Case cases[] = {
        {{"MAMESCORE records :", "AAA____123450", "BOBBY_______900", "C__5"},
         {"<MAMESCORE records :>", "AAA      123450", "BOBBY       900", "C             5"}},
        // Each run of records is aligned on its own; a name may hold blanks and underscores.
        {{"Stage 1:", "MR X__10", "", "", "Stage 2:", "A_B___1,000,000", "Z__7"},
         {"<Stage 1:>", "MR X    10", "", "<Stage 2:>", "A_B    1,000,000", "Z              7"}},
        // Not records: no score, no name, a score without digits or with blanks.
        {{"____100", "NAME____", "NAME____high", "NAME____1 2"},
         {"<____100>", "<NAME____>", "<NAME____high>", "<NAME____1 2>"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Readable(import::StoryLines(c.in)), c.out);
}

TEST(InfoText, KeyCapsAndHeadingsReachTheDocumentAsFonts) {
    EXPECT_EQ(Section("$info=a\n$mame\nTIPS: press [ F2 ] now\n$end\n", 1, "mame"),
              "|bg=page|\n|fs=heading|TIPS:|fed| press |fs=key|[F2]|fed| now\n|bge|");
    // A heading wrapped onto the next line keeps its font there.
    const std::string long_heading =
        "HOW TO GET THE MACHINE RUNNING AFTER A FRESH START OF IT AGAIN:";
    EXPECT_EQ(
        Section("$info=a\n$mame\n" + long_heading + " xx\n$end\n", 1, "mame"),
        "|bg=page|\n|fs=heading|HOW TO GET THE MACHINE RUNNING AFTER A FRESH START OF IT|fed|\n"
        "|fs=heading|AGAIN:|fed| xx\n|bge|");
    EXPECT_EQ(Section("$info=a\n$story\nTop:\nAB___12\nC___345\n$end\n", 1, "story"),
              "|bg=page|\n|fs=heading|Top:|fed|\nAB     12\nC     345\n|bge|");
}

TEST(InfoText, EachDocumentShowsItsBlockAndEmptyBlocksAreNoEntry) {
    const std::string mixed =
        "$info=a\n$bio\nhistory of a\n$end\n$mame\nnotes of a\n$end\n$story\nA__1\n$end\n"
        "$info=b\n$bio\n\n$end\n$mame\n   \n$end\n"
        "$info=galaxian.cpp\n$drv\ndriver notes\n$end\n";
    const auto index = import::DatIndex::BuildFromText(mixed);
    struct Case {
        const char* docname;
        const char* block;
    };
    for (const Case& c : {Case{"history", "bio"}, Case{"sysinfo", "bio"}, Case{"mameinfo", "mame"},
                          Case{"messinfo", "mame"}, Case{"gameinit", "mame"},
                          Case{"story", "story"}, Case{"command", "cmd"}, Case{"other", "bio"}})
        EXPECT_EQ(index.BlockFor(c.docname), c.block) << c.docname;
    EXPECT_EQ(index.Find("a")->blocks, (Lines{"bio", "mame", "story"}));
    EXPECT_TRUE(index.Find("b")->blocks.empty()) << "blank blocks hold no text";
    EXPECT_EQ(import::ShownBlock(*index.Find("galaxian.cpp"), "mame"), "drv");
    EXPECT_EQ(import::ShownBlock(*index.Find("b"), "bio"), "");
    // A file whose entries all hold one kind of block shows it, whatever it is called.
    const auto gameinit = import::DatIndex::BuildFromText("$info=x\n$mame\nTIPS: y\n$end\n");
    EXPECT_EQ(gameinit.BlockFor("history"), "mame");
    EXPECT_EQ(gameinit.BlockFor("anything"), "mame");
    // An empty block converts to no document at all.
    for (const char* block : {"bio", "mame", "story", "cmd"}) {
        const auto result = Convert("$info=b\n$" + std::string(block) + "\n\n$end\n", block);
        EXPECT_EQ(result.sections, 0) << block;
        EXPECT_EQ(result.xml, "") << block;
    }
    // Links alone are no text either.
    EXPECT_EQ(
        Convert("$info=b\n$bio\n- CONTRIBUTE -\n<a href=\"x\">Edit</a>\n$end\n", "bio").sections,
        0);
}

TEST(InfoText, TagForms) {
    struct Case {
        const char* text;
        Lines names;
    };
    const Case cases[] = {
        {"$info=sf2,sf2ce,\n$bio\nx\n$end\n", {"sf2", "sf2ce"}},
        {"$nes=zelda, zeldau ,\n$bio\nx\n$end\n", {"nes:zelda", "nes:zeldau"}},
        {"$info,megadriv=sonic\n$bio\nx\n$end\n", {"sonic", "megadriv:sonic"}},
        {"$a2600, nes =pitfall\n$bio\nx\n$end\n", {"a2600:pitfall", "nes:pitfall"}},
        {"\xEF\xBB\xBF$info=bom\r\n$bio\r\nx\r\n$end\r\n", {"bom"}},
        // Not tag lines: a blank in a tag, nothing before "=", a "$" line without "=".
        {"$in fo=a\n$=b\n$info\n", {}},
    };
    for (const Case& c : cases) {
        const auto index = import::DatIndex::BuildFromText(c.text);
        Lines names;
        for (const auto& entry : index.Entries())
            names.insert(names.end(), entry.names.begin(), entry.names.end());
        EXPECT_EQ(names, c.names) << c.text;
        for (const auto& entry : index.Entries())
            EXPECT_EQ(entry.blocks, Lines{"bio"}) << c.text;
    }
    // The BOM is not part of the first entry's bytes.
    EXPECT_EQ(import::DatIndex::BuildFromText("\xEF\xBB\xBF$info=a\n").Entries()[0].offset, 3u);
    EXPECT_EQ(import::ItemKey("info", "sf2"), "sf2");
    EXPECT_EQ(import::ItemKey("", "sf2"), "sf2");
    EXPECT_EQ(import::ItemKey("nes", "zelda"), "nes:zelda");
}

}  // namespace
}  // namespace kavro::testing
