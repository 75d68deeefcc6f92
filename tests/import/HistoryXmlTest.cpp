// history.xml: the index of machines and software-list items, the text unescaped once, errors
// with their place.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "common/TempFolder.h"
#include "import/DatConverter.h"
#include "import/DatIndex.h"
#include "import/HistoryXml.h"
#include "import/ImportTestSupport.h"

namespace kavro::testing {
namespace {

using import::DatIndex;

const std::string kHistory =
    "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<history version=\"1.0\">\n"
    "\t<entry>\n"  // line 3
    "\t\t<systems><system name=\"puckman\"/><system name=\"puckmanf\"/></systems>\n"
    "\t\t<text>Maze game.\n\n- TECHNICAL -\n\nBoard &amp;amp; &lt;a href=&quot;u?a&amp;b&quot;&gt;"
    "sound&lt;/a&gt; &#233;\n\n- CONTRIBUTE -\n\n&lt;a href=&quot;https://x.org/?a&amp;id=1&quot;"
    "&gt;Edit this entry&lt;/a&gt;\n\t\t</text>\n"
    "\t</entry>\n"
    "\t<entry>\n"  // line 16
    "\t\t<software><item list=\"nes\" name=\"zelda\"/><item list=\"nes\" name=\"zeldau\"/>"
    "</software>\n"
    "\t\t<text>A cartridge.</text>\n"
    "\t</entry>\n"
    "\t<entry>\n"  // line 20: both, and a name listed again
    "\t\t<systems><system name=\"mvs\"/><system name=\"puckman\"/></systems>\n"
    "\t\t<software><item list=\"neocd\" name=\"mslug\"/><item name=\"nolist\"/></software>\n"
    "\t\t<text>Both.</text>\n"
    "\t</entry>\n"
    "\t<entry><systems><system name=\"empty\"/></systems><text>\n\t\t</text></entry>\n"
    "</history>\n";

TEST(HistoryXml, EntriesOfMachinesAndSoftwareItems) {
    const DatIndex index = DatIndex::BuildFromText(kHistory);
    EXPECT_EQ(index.Format(), import::DatFormat::HistoryXml);
    ASSERT_EQ(index.Entries().size(), 4u);
    const auto& e = index.Entries();
    EXPECT_EQ(e[0].names, (std::vector<std::string>{"puckman", "puckmanf"}));
    EXPECT_EQ(e[1].names, (std::vector<std::string>{"nes:zelda", "nes:zeldau"}));
    EXPECT_EQ(e[2].names, (std::vector<std::string>{"mvs", "puckman", "neocd:mslug"}));
    EXPECT_EQ(e[0].line, 3);
    EXPECT_EQ(e[1].line, 16);
    EXPECT_EQ(e[0].blocks, std::vector<std::string>{"bio"});
    EXPECT_TRUE(e[3].blocks.empty()) << "blank text is no entry";
    EXPECT_EQ(index.Find("puckman"), &e[0]);
    EXPECT_EQ(index.Find("nes:zelda"), &e[1]);
    EXPECT_EQ(index.Find("zelda"), nullptr) << "a software item is not a machine";
    EXPECT_EQ(index.BlockFor("history"), "bio");
    ASSERT_EQ(index.Problems().size(), 1u);
    EXPECT_EQ(index.Problems()[0].line, 20);
    // Each entry's bytes run from <entry to </entry>.
    for (const auto& entry : e) {
        const std::string bytes = kHistory.substr(entry.offset, entry.length);
        EXPECT_TRUE(bytes.starts_with("<entry>") && bytes.ends_with("</entry>")) << bytes;
    }
    // The index survives its cache.
    const auto again = DatIndex::Deserialize(index.Serialize(), index.Identity());
    ASSERT_TRUE(again);
    EXPECT_EQ(again->Format(), import::DatFormat::HistoryXml);
    EXPECT_EQ(again->Serialize(), index.Serialize());
}

TEST(HistoryXml, TextIsUnescapedOnceAndShownAsAReaderExpectsIt) {
    const DatIndex index = DatIndex::BuildFromText(kHistory);
    const auto& entry = index.Entries()[0];
    const std::string text =
        import::HistoryXmlText(kHistory.substr(entry.offset, entry.length), "h.xml", entry.line);
    EXPECT_NE(text.find("Board &amp; <a href=\"u?a&b\">sound</a> \xC3\xA9\n"), std::string::npos)
        << text;
    const auto converted = import::ConvertHistoryText(text, entry.line, "puckman", "history.xml");
    EXPECT_EQ(Read(converted.xml).SectionMarkup[1],
              "|bg=page|\nMaze game.\n\n|fs=heading|- TECHNICAL -|fed|\n\n"
              "Board &amp; sound \xC3\xA9\n|bge|");
    EXPECT_NE(converted.xml.find("caption=\"puckman - history\""), std::string::npos);
}

TEST(HistoryXml, MalformedFilesAreErrorsWithTheirPlace) {
    struct Case {
        std::string text;
        const char* message;
    };
    const Case cases[] = {
        {"<history>\n<entry>\n<text>x</entry>", "line 3, column 10: mismatched tag"},
        {"<history>\n  <entry>", "line 2, column 10: no element found"},
        {"<?xml version=\"1.0\"?>\n<document>\n</document>",
         "line 2, column 1: the root element is <document>: a history file (<history>) was "
         "expected"},
        {"<!DOCTYPE history [<!ENTITY a \"aaaa\">]>\n<history/>",
         "line 1, column 19: a document type declaration is not read in history files"},
        {"<history>&bogus;</history>", "line 1, column 10: undefined entity"},
    };
    for (const Case& c : cases) {
        try {
            DatIndex::BuildFromText(c.text, "h.xml");
            ADD_FAILURE() << "no error for " << c.text;
        } catch (const import::DatError& e) {
            EXPECT_EQ(std::string(e.what()), std::string("\"h.xml\": ") + c.message) << c.text;
        }
    }
    EXPECT_THROW(import::HistoryXmlText("<entry><text>x</entry>", "h.xml", 7), import::DatError);
    EXPECT_TRUE(import::LooksLikeXml("\xEF\xBB\xBF \n<?xml"));
    EXPECT_FALSE(import::LooksLikeXml("# MAMEINFO.DAT\n$info=a"));
}

TEST(HistoryXml, FileIndexMatchesTheTextAcrossReadBlocksAndConverts) {
    const TempFolder dir("kavro-hxml-");
    std::string text = "<history>\n";
    for (int i = 0; text.size() < 600 * 1024; ++i)
        text += "<entry><systems><system name=\"g" + std::to_string(i) + "\"/></systems><text>" +
                std::string(static_cast<std::size_t>(i % 50) + 1, 'x') + "</text></entry>\n";
    text += "</history>\n";
    const std::string path = dir.Write("history.xml", text);
    const DatIndex from_file = DatIndex::Build(path);
    const DatIndex from_text = DatIndex::BuildFromText(text);
    ASSERT_EQ(from_file.Entries().size(), from_text.Entries().size());
    EXPECT_EQ(from_file.Entries().back().offset, from_text.Entries().back().offset);
    const auto* entry = from_file.Find("g707");
    ASSERT_NE(entry, nullptr);
    const auto converted = import::ConvertEntry(path, from_file, *entry, "bio", "g707");
    EXPECT_EQ(Read(converted.xml).SectionMarkup[1],
              "|bg=page|\n" + std::string(8, 'x') + "\n|bge|");
}

}  // namespace
}  // namespace kavro::testing
