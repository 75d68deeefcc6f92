#include "document/ContentHandler.h"

#include <gtest/gtest.h>

#include "document/DocumentTestSupport.h"
#include "document/MarkupReader.h"

namespace kavro::document {
namespace {

using testing::Converter;
using Lines = std::vector<std::string>;

TEST(SectionMarkupTest, WorkedExampleGivesFiveLines) {
    Converter c;
    c.Parse(
        "<doc><section bg=\"paper\">\n"
        "Title\n"
        "<font name=\"big\">Large</font> normal\n"
        "<icon name=\"star\"></icon>\n"
        "</section></doc>");
    ASSERT_EQ(c.doc.SectionCount(), 1);
    EXPECT_EQ(c.doc.SectionMarkup[0], "");
    EXPECT_EQ(SplitLines(c.doc.SectionMarkup[1]),
              (std::vector<std::string_view>{"|bg=paper|", "Title", "|fs=big|Large|fed| normal",
                                             "|ic=star||", "|bge|"}));
    EXPECT_EQ(c.doc.SectionBuffer, "");
    EXPECT_FALSE(c.context.InSection);
}

TEST(SectionMarkupTest, SectionStartCodes) {
    Converter c;
    c.Parse("<doc><section/><section zzz=\"p\" bg=\"q\"/><section BG=\"\"/></doc>");
    ASSERT_EQ(c.doc.SectionCount(), 3);
    EXPECT_EQ(c.doc.SectionMarkup[1], "|bg=default||bge|");
    EXPECT_EQ(c.doc.SectionMarkup[2], "|bg=p||bge|");
    EXPECT_EQ(c.doc.SectionMarkup[3], "|bg=||bge|");
}

TEST(SectionMarkupTest, DocumentWithoutSectionsKeepsElementZeroOnly) {
    Converter c;
    c.Parse("<doc><head><textwidth>50</textwidth></head></doc>");
    EXPECT_EQ(c.doc.SectionCount(), 0);
    EXPECT_EQ(c.doc.LineChars, 50);
}

TEST(SectionMarkupTest, InlineElements) {
    Converter c;
    c.Parse(
        "<doc><section a=\"p\">"
        "<font A=\"outer\">A<font b=\"inner\">B</font>C</font>"
        "<img SRC=\"a.png\" width=\"50\"/><img/>"
        "<img stretch=\"1\" height=\"20\" src=\"b.png\" alt=\"x\" width=\"10\">cap</img>"
        "<icon n=\"star\">label</icon>"
        "</section></doc>");
    EXPECT_EQ(c.doc.SectionMarkup[1],
              "|bg=p||fs=outer|A|fs=inner|B|fed|C|fed||im=a.png,50,,0|||im=,,,0||"
              "|im=b.png,10,20,1|cap||ic=star|label||bge|");
}

TEST(SectionMarkupTest, NamespacePrefixesAndLetterCaseOfElementStarts) {
    Converter c;
    c.Parse(
        "<x:doc xmlns:x=\"urn:x\"><x:SECTION bg=\"p\"><x:Font f=\"big\">t</x:Font>"
        "</x:SECTION><x:section x:bg=\"q\">u</x:section></x:doc>");
    // The upper-case section end does not close; the lower-case one stores everything.
    ASSERT_EQ(c.doc.SectionCount(), 2);
    EXPECT_EQ(c.doc.SectionMarkup[1], "");
    EXPECT_EQ(c.doc.SectionMarkup[2], "|bg=p||fs=big|t|fed||bg=q|u|bge|");
}

TEST(SectionMarkupTest, MixedCaseElementsSetTheirContext) {
    Converter c;
    c.Parse(
        "<DOC><HEAD><TextWidth>44</TextWidth><FontMacro Size=\"1\" COLOR=\"1,2,3\">Big</FontMacro>"
        "<BGMACRO NAME=\"n\">Paper</BGMACRO></HEAD><section><ICON n=\"i\">t</ICON>"
        "<Img Src=\"s\"/>u</section></DOC>");
    EXPECT_EQ(c.doc.LineChars, 44);
    EXPECT_EQ(c.doc.FontMacros.Get(0, 1), Field("Big"));
    EXPECT_EQ(c.doc.FontMacros.Get(1, 1), Field("1"));
    EXPECT_EQ(c.doc.FontMacros.Get(4, 1), Field("3"));
    EXPECT_EQ(c.doc.BgMacros.Get(0, 1), Field("Paper"));
    EXPECT_EQ(c.doc.SectionMarkup[1], "|bg=default||ic=i|t||im=s,,,0||u|bge|");
    EXPECT_EQ(c.context.CurrentElement, "");
}

TEST(CharactersTest, TabsRemovedSpacesAndLineBreaksKept) {
    Converter c;
    c.Parse("<doc><section bg=\"p\">\n\t\tTabbed\n    Spaced\r\n\t\n</section></doc>");
    // expat normalises CR LF to LF.
    EXPECT_EQ(c.doc.SectionMarkup[1], "|bg=p|\nTabbed\n    Spaced\n\n|bge|");
}

TEST(CharactersTest, OneLeadingBarOfEachPieceIsDropped) {
    Converter c;
    c.Parse(
        "<doc><section bg=\"p\">||a|b<font f=\"x\">\t|c</font>|d<![CDATA[|e]]><!-- -->|f"
        "</section></doc>");
    // A CDATA section joins its run; a comment ends it.
    EXPECT_EQ(c.doc.SectionMarkup[1], "|bg=p||a|b|fs=x|c|fed|d|ef|bge|");
}

TEST(CharactersTest, CharacterDataArrivesAsOneRunAcrossReferences) {
    Converter c;
    c.Parse("<doc><section bg=\"p\">&#9;&#124;x&amp;&lt;y&#x7C;</section></doc>");
    EXPECT_EQ(c.doc.SectionMarkup[1], "|bg=p|x&<y||bge|");
}

TEST(CharactersTest, TextOutsideSectionsHeadAndInfoNeverReachesMarkup) {
    Converter c;
    c.Parse(
        "<doc>lead<info t=\"Title\">info text</info><head>head text"
        "<textwidth>40</textwidth>more</head>between<section bg=\"p\">in</section>after</doc>");
    EXPECT_EQ(c.doc.SectionMarkup[1], "|bg=p|in|bge|");
    EXPECT_EQ(c.doc.InfoText, "Title");
    EXPECT_EQ(c.captions, (Lines{"Title"}));
}

TEST(CharactersTest, InlineCodesOutsideSectionsLandInNextSection) {
    Converter c;
    c.Parse(
        "<doc><font f=\"big\">x</font><icon n=\"i\"/><img src=\"s\"/>"
        "<section bg=\"p\">y</section></doc>");
    EXPECT_EQ(c.doc.SectionMarkup[1], "|fs=big||fed||ic=i|||im=s,,,0|||bg=p|y|bge|");

    Converter emptied;
    emptied.Parse(
        "<doc><font f=\"big\"/><head/><icon n=\"i\"/><textwidth/><img/><info a=\"\"/>"
        "<section bg=\"p\">y</section></doc>");
    EXPECT_EQ(emptied.doc.SectionMarkup[1], "|bg=p|y|bge|");
}

TEST(CharactersTest, CapitalSectionCarriesOverIntoNextFile) {
    Converter c;
    c.Parse("<doc><Section bg=\"p\">x</Section></doc>");
    EXPECT_TRUE(c.context.InSection);
    EXPECT_EQ(c.doc.SectionMarkup, (Lines{"", ""}));
    EXPECT_EQ(c.doc.SectionBuffer, "|bg=p|x");
    c.ClearMacros();
    c.Parse("<doc>stray<section bg=\"q\">y</section></doc>", "style.sxml");
    ASSERT_EQ(c.doc.SectionCount(), 2);
    EXPECT_EQ(c.doc.SectionMarkup[1], "");
    EXPECT_EQ(c.doc.SectionMarkup[2], "|bg=p|xstray|bg=q|y|bge|");
}

TEST(MacroTest, FontMacroFields) {
    Converter c;
    c.Parse(
        "<doc><head><fontmacro SIZE=\"120\" color=\"1,2,3,4\">big</fontmacro>"
        "<fontmacro color=\"255, 0 ,9\" x:size=\"9\" xmlns:x=\"u\"> small </fontmacro>"
        "<fontmacro/></head></doc>");
    const MacroTable& t = c.doc.FontMacros;
    ASSERT_EQ(t.UBound(), 3);
    EXPECT_EQ(t.Get(0, 1), Field("big"));
    EXPECT_EQ(t.Get(1, 1), Field("120"));
    EXPECT_EQ(t.Get(2, 1), Field("1"));
    EXPECT_EQ(t.Get(3, 1), Field("2"));
    EXPECT_EQ(t.Get(4, 1), Field("3"));
    EXPECT_EQ(t.Get(0, 2), Field("small"));
    EXPECT_EQ(t.Get(1, 2), std::nullopt);  // a prefixed name is not "size"
    EXPECT_EQ(t.Get(3, 2), Field(" 0 "));
    for (int field = 0; field < 5; ++field) {
        EXPECT_EQ(t.Get(field, 3), std::nullopt);
        EXPECT_EQ(t.Get(field, 0), std::nullopt);
    }
}

TEST(MacroTest, BackgroundMacroNameFromAttributeOrText) {
    Converter c;
    c.Parse(
        "<doc><head>"
        "<bgmacro name=\"paper\" style=\"2\" color=\"10,20,30\" src=\"p.png\" other=\"x\"/>"
        "<bgmacro name=\"kept\">\n\t \n</bgmacro>"
        "<bgmacro name=\"replaced\"> text </bgmacro>"
        "</head></doc>");
    const MacroTable& t = c.doc.BgMacros;
    ASSERT_EQ(t.UBound(), 3);
    EXPECT_EQ(t.Get(0, 1), Field("paper"));
    EXPECT_EQ(t.Get(1, 1), Field("2"));
    EXPECT_EQ(t.Get(2, 1), Field("10"));
    EXPECT_EQ(t.Get(4, 1), Field("30"));
    EXPECT_EQ(t.Get(5, 1), Field("p.png"));
    EXPECT_EQ(t.Get(0, 2), Field("kept"));
    EXPECT_EQ(t.Get(0, 3), Field("text"));
}

TEST(MacroTest, MultiLineNamesKeepLineFeedsAndNeverMatch) {
    Converter c;
    c.Parse(
        "<doc><head><fontmacro size=\"100\">normal</fontmacro>\n"
        "<fontmacro size=\"200\">\n\tbig\n</fontmacro></head></doc>");
    EXPECT_EQ(c.doc.FontMacros.Get(0, 2), Field("\n\tbig\n"));
    EXPECT_EQ(FindMacro(c.doc.FontMacros, "big"), 1);
    EXPECT_EQ(FindMacro(c.doc.FontMacros, "NORMAL"), 1);
}

TEST(MacroTest, TextAfterMacroEndRenamesIt) {
    Converter c;
    c.Parse(
        "<doc><head><fontmacro size=\"100\">first</fontmacro> renamed <!-- -->\n  \n"
        "<bgmacro name=\"b\"/>\tlater\t</head></doc>");
    EXPECT_EQ(c.doc.FontMacros.Get(0, 1), Field("renamed"));
    EXPECT_EQ(c.doc.BgMacros.Get(0, 1), Field("\tlater\t"));
}

TEST(MacroTest, LeftoverMacroContextNeverWritesColumnZero) {
    Converter c;
    c.Parse("<doc><fontmacro>a</fontmacro></doc>");
    c.ClearMacros();
    c.Parse("<doc>orphan</doc>");
    EXPECT_EQ(c.doc.FontMacros.UBound(), 0);
    EXPECT_EQ(c.doc.FontMacros.Get(0, 0), std::nullopt);
}

TEST(TextWidthTest, NumberAtStartRoundedHalfEven) {
    struct Case {
        const char* text;
        int expected;
    };
    for (const Case& k :
         {Case{" 60 ", 60}, Case{"\n\t6 0\n", 60}, Case{"abc60", 0}, Case{"2.5", 2}, Case{"3.5", 4},
          Case{"-32768", -32768}, Case{"32767", 32767}, Case{"72px", 72}, Case{"&amp;H20", 32}}) {
        Converter c;
        c.doc.LineChars = 7;
        c.Parse(std::string("<doc><textwidth>") + k.text + "</textwidth></doc>");
        EXPECT_EQ(c.doc.LineChars, k.expected) << k.text;
    }
    Converter untouched;
    untouched.doc.LineChars = 7;
    untouched.Parse("<doc><textwidth>\t</textwidth><textwidth/></doc>");
    EXPECT_EQ(untouched.doc.LineChars, 7);
}

TEST(StyleTest, SecondParseReplacesMacrosAndAddsSections) {
    Converter c;
    c.Parse(
        "<doc><info t=\"Doc\"/><head><textwidth>40</textwidth>"
        "<fontmacro size=\"100\">a</fontmacro><fontmacro size=\"150\">b</fontmacro>"
        "<bgmacro name=\"x\"/></head><section bg=\"x\">one</section></doc>");
    c.ClearMacros();
    c.Parse(
        "<style><head><textwidth>50</textwidth><fontmacro size=\"90\">c</fontmacro></head>"
        "<section>two</section></style>",
        "style.sxml");
    EXPECT_EQ(c.doc.FontMacros.UBound(), 1);
    EXPECT_EQ(c.doc.FontMacros.Get(0, 1), Field("c"));
    EXPECT_EQ(c.doc.BgMacros.UBound(), 0);
    EXPECT_EQ(c.doc.LineChars, 50);
    EXPECT_EQ(c.doc.InfoText, "Doc");
    ASSERT_EQ(c.doc.SectionCount(), 2);
    EXPECT_EQ(c.doc.SectionMarkup[1], "|bg=x|one|bge|");
    EXPECT_EQ(c.doc.SectionMarkup[2], "|bg=default|two|bge|");
}

// Handler failures reach the caller as load errors that say where and why.
TEST(HandlerFailureTest, MissingAttributesColoursAndWidths) {
    struct Case {
        const char* xml;
        long line;
        const char* reason;
    };
    const Case cases[] = {
        {"<doc>\n\n  <info/></doc>", 3, "the <info> element has no attribute"},
        {"<doc><section>\n<font>x</font></section></doc>", 2,
         "the <font> element has no attribute"},
        {"<doc><section>\n<ICON/></section></doc>", 2, "the <icon> element has no attribute"},
        {"<doc>\n<fontmacro color=\"1,2\"/></doc>", 2, "fewer than three parts"},
        {"<doc>\n<bgmacro color=\"\"/></doc>", 2, "fewer than three parts"},
        {"<doc><textwidth>\n\n99999</textwidth></doc>", 3, "does not fit in a 16-bit integer"},
        {"<doc><textwidth>32767.5</textwidth></doc>", 1, "does not fit in a 16-bit integer"},
    };
    for (const Case& k : cases) {
        Converter c;
        try {
            c.Parse(k.xml, "bad.xml");
            ADD_FAILURE() << "no error for " << k.xml;
        } catch (const LoadError& error) {
            EXPECT_EQ(error.File(), "bad.xml");
            EXPECT_EQ(error.Line(), k.line) << k.xml;
            EXPECT_GT(error.Column(), 0) << k.xml;
            EXPECT_NE(error.Reason().find(k.reason), std::string::npos) << error.what();
            EXPECT_NE(std::string(error.what()).find("Cannot load \"bad.xml\": line "),
                      std::string::npos)
                << error.what();
        }
    }
}

TEST(HandlerFailureTest, ParseStopsAtTheFailure) {
    Converter c;
    EXPECT_THROW(c.Parse("<doc><section bg=\"a\"/><info/><section bg=\"b\"/></doc>"), LoadError);
    EXPECT_EQ(c.doc.SectionCount(), 1);
}

TEST(HandlerFailureTest, OtherExceptionsPassThroughUnchanged) {
    ConvertedDocument doc;
    HandlerContext context;
    ContentHandler handler(doc, context,
                           [](const std::string&) { throw std::logic_error("caption failed"); });
    SaxReader reader;
    reader.contentHandler = &handler;
    EXPECT_THROW(reader.parseText("<doc><info a=\"x\"/><section/></doc>", "x.xml"),
                 std::logic_error);
    EXPECT_EQ(doc.SectionCount(), 0);
    // The reader is usable again afterwards.
    reader.contentHandler = nullptr;
    EXPECT_NO_THROW(reader.parseText("<doc/>", "y.xml"));
}

}  // namespace
}  // namespace kavro::document
