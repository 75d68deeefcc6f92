#include "document/SaxReader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "common/TempFolder.h"
#include "document/DocumentTestSupport.h"

namespace kavro::document {
namespace {

using kavro::testing::TempFolder;
using testing::Converter;
namespace fs = std::filesystem;

// A document that uses every construct the handler knows, with text runs long enough to
// cross any buffer size.
std::string RichDocument() {
    std::string xml =
        "<?xml version=\"1.0\"?>\n<!DOCTYPE doc [<!ENTITY who \"the |world\">]>\n"
        "<doc><info title=\"Rich &amp; full\"/>\n<head>\n\t<textwidth> 48 </textwidth>\n"
        "\t<fontmacro size=\"100\" color=\"1,2,3\">normal</fontmacro>\n"
        "\t<fontmacro size=\"150\" color=\"4,5,6\">\n\t\tbig\n\t</fontmacro> renamed\n"
        "\t<bgmacro name=\"paper\" style=\"1\" color=\"7,8,9\" src=\"p.png\"/>\n</head>\n";
    for (int i = 0; i < 20; ++i) {
        xml += "<section bg=\"paper\">\n\t|Line " + std::to_string(i) +
               " &who; &#x20AC; caf\xC3\xA9<![CDATA[ <raw> |x ]]>\n"
               "<font f=\"big\">Large</font> normal<!-- c --> |after\n"
               "<icon n=\"star\">label</icon><img src=\"a.png\" width=\"5\"/>\n";
        xml += std::string(static_cast<std::size_t>(50 + i * 37), 'x') + "\n</section>\n";
    }
    return xml + "<?pi data?></doc>\n";
}

TEST(ChunkingTest, ResultDoesNotDependOnBufferBoundaries) {
    const std::string xml = RichDocument();
    Converter whole;
    whole.Parse(xml);
    ASSERT_EQ(whole.doc.SectionCount(), 20);
    EXPECT_EQ(whole.doc.LineChars, 48);
    EXPECT_EQ(whole.doc.FontMacros.Get(0, 2), Field("renamed\n\t"));  // spaces trimmed only
    EXPECT_NE(
        whole.doc.SectionMarkup[1].find("Line 0 the |world \xE2\x82\xAC caf\xC3\xA9 <raw> |x"),
        std::string::npos)
        << whole.doc.SectionMarkup[1];

    TempFolder dir;
    const std::string path = dir.Write("rich.xml", xml);
    for (std::size_t chunk : {1, 2, 3, 7, 64, 1000}) {
        Converter text;
        text.reader.setChunkSize(chunk);
        text.Parse(xml);
        EXPECT_EQ(text.doc.SectionMarkup, whole.doc.SectionMarkup) << chunk;
        EXPECT_EQ(text.doc.FontMacros.Columns(), whole.doc.FontMacros.Columns()) << chunk;
        EXPECT_EQ(text.doc.BgMacros.Columns(), whole.doc.BgMacros.Columns()) << chunk;

        Converter file;
        file.reader.setChunkSize(chunk);
        file.reader.parseURL(path);
        EXPECT_EQ(file.doc.SectionMarkup, whole.doc.SectionMarkup) << chunk;
        EXPECT_EQ(file.doc.InfoText, "Rich & full");
    }
}

TEST(ChunkingTest, NamespaceDeclarationsAreNotAttributes) {
    Converter c;
    c.Parse(
        "<doc><section xmlns=\"urn:a\" xmlns:b=\"urn:b\" b:bg=\"p\"/><section xmlns=\"u\"/></doc>");
    EXPECT_EQ(c.doc.SectionMarkup[1], "|bg=p||bge|");
    EXPECT_EQ(c.doc.SectionMarkup[2], "|bg=default||bge|");
}

TEST(EncodingTest, Utf16WithByteOrderMark) {
    const std::string text = "<doc><info t=\"\xC3\xA9\xE2\x82\xAC\"/></doc>";
    // Widen the ASCII and the two non-ASCII characters by hand: é U+00E9, € U+20AC.
    std::string utf16 = "\xFF\xFE";
    const std::u16string wide = u"<doc><info t=\"\u00E9\u20AC\"/></doc>";
    for (char16_t unit : wide) {
        utf16.push_back(static_cast<char>(unit & 0xFF));
        utf16.push_back(static_cast<char>(unit >> 8));
    }
    Converter c;
    c.reader.setChunkSize(3);  // splits code units
    c.Parse(utf16);
    EXPECT_EQ(c.doc.InfoText, "\xC3\xA9\xE2\x82\xAC");
    (void)text;
}

TEST(EncodingTest, SingleByteEncodingsBecomeUtf8) {
    Converter latin;
    latin.Parse(
        "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><doc><info t=\"caf\xE9 \x80\"/></doc>");
    EXPECT_EQ(latin.doc.InfoText, "caf\xC3\xA9 \xC2\x80");

    Converter ascii;
    ascii.Parse("<?xml version=\"1.0\" encoding=\"US-ASCII\"?><doc><info t=\"plain\"/></doc>");
    EXPECT_EQ(ascii.doc.InfoText, "plain");

    for (const char* name : {"windows-1252", "WINDOWS-1252", "cp1252"}) {
        Converter windows;
        windows.Parse(std::string("<?xml version=\"1.0\" encoding=\"") + name +
                      "\"?><doc><info t=\"\x80 \x93q\x94 \x85\x99 \xE9\x81\"/></doc>");
        EXPECT_EQ(windows.doc.InfoText,
                  "\xE2\x82\xAC \xE2\x80\x9Cq\xE2\x80\x9D \xE2\x80\xA6\xE2\x84\xA2 \xC3\xA9"
                  "\xEF\xBF\xBD")
            << name;
    }
}

TEST(EncodingTest, UnknownEncodingAndBadBytesFail) {
    Converter unknown;
    EXPECT_THROW(unknown.Parse("<?xml version=\"1.0\" encoding=\"klingon\"?><doc/>"), LoadError);
    Converter bad;
    EXPECT_THROW(bad.Parse("<doc><info t=\"\xFF\xFE\"/></doc>"), LoadError);
}

TEST(FailureTest, MalformedXmlGivesPosition) {
    Converter c;
    try {
        c.Parse("<doc>\n<section bg=\"p\">\n  <font f='x'>text</section></doc>", "broken.xml");
        FAIL() << "malformed XML accepted";
    } catch (const LoadError& error) {
        EXPECT_EQ(error.File(), "broken.xml");
        EXPECT_EQ(error.Line(), 3);
        EXPECT_GT(error.Column(), 1);
        EXPECT_EQ(error.Reason(), "mismatched tag");
        EXPECT_EQ(std::string(error.what()), "Cannot load \"broken.xml\": line 3, column " +
                                                 std::to_string(error.Column()) +
                                                 ": mismatched tag");
    }
    for (const char* bad : {"", "<doc>", "<a></b>", "<doc>&undefined;</doc>", "text",
                            "<doc/><doc/>", "<doc a=\"1\" a=\"2\"/>"}) {
        Converter other;
        EXPECT_THROW(other.Parse(bad), LoadError) << bad;
    }
}

TEST(FailureTest, MissingAndUnreadableFiles) {
    TempFolder dir;
    Converter c;
    const std::string missing = (dir.Path() / "missing.xml").string();
    try {
        c.reader.parseURL(missing);
        FAIL() << "missing file accepted";
    } catch (const LoadError& error) {
        EXPECT_EQ(error.Line(), 0);
        EXPECT_EQ(error.Column(), 0);
        EXPECT_EQ(error.Reason().rfind("cannot open file", 0), 0u) << error.Reason();
        EXPECT_EQ(
            std::string(error.what()).rfind("Cannot load \"" + missing + "\": cannot open", 0), 0u)
            << error.what();
    }
    EXPECT_THROW(c.reader.parseURL(dir.Path().string()), LoadError);
    EXPECT_THROW(c.reader.parseURL(dir.Write("empty.xml", "")), LoadError);
}

TEST(FailureTest, DtdProhibitedWhenAskedAndUnknownFeatureRejected) {
    Converter c;
    c.reader.putFeature("prohibit-dtd", true);
    try {
        c.Parse("<?xml version=\"1.0\"?>\n<!DOCTYPE doc><doc/>");
        FAIL() << "DOCTYPE accepted";
    } catch (const LoadError& error) {
        EXPECT_EQ(error.Reason(), "DTD is prohibited");
        EXPECT_EQ(error.Line(), 2);
    }
    EXPECT_NO_THROW(c.Parse("<doc/>"));
    EXPECT_THROW(c.reader.putFeature("resolve-externals", true), std::invalid_argument);
}

TEST(HostileInputTest, BillionLaughsFails) {
    std::string xml = "<?xml version=\"1.0\"?>\n<!DOCTYPE lolz [\n<!ENTITY lol \"lol\">\n";
    for (int level = 1; level <= 9; ++level) {
        xml += "<!ENTITY lol" + std::to_string(level) + " \"";
        for (int i = 0; i < 10; ++i)
            xml += "&lol" + (level == 1 ? std::string() : std::to_string(level - 1)) + ";";
        xml += "\">\n";
    }
    xml += "]>\n<doc><section>&lol9;</section></doc>";
    Converter c;
    try {
        c.Parse(xml);
        FAIL() << "entity expansion attack accepted";
    } catch (const LoadError& error) {
        EXPECT_NE(error.Reason().find("amplification"), std::string::npos) << error.what();
    }
    EXPECT_EQ(c.doc.SectionCount(), 1);
    EXPECT_EQ(c.doc.SectionMarkup[1], "");
}

TEST(HostileInputTest, DeepNestingFails) {
    std::string xml;
    constexpr int kDepth = 100000;
    xml.reserve(kDepth * 7);
    for (int i = 0; i < kDepth; ++i)
        xml += "<a>";
    for (int i = 0; i < kDepth; ++i)
        xml += "</a>";
    Converter c;
    try {
        c.Parse(xml);
        FAIL() << "deep nesting accepted";
    } catch (const LoadError& error) {
        EXPECT_NE(error.Reason().find("nested deeper than 10000"), std::string::npos);
        EXPECT_EQ(error.Line(), 1);
    }
    // At the limit itself the document is fine.
    std::string ok;
    for (int i = 0; i < kMaxNestingDepth; ++i)
        ok += "<a>";
    for (int i = 0; i < kMaxNestingDepth; ++i)
        ok += "</a>";
    EXPECT_NO_THROW(c.Parse(ok));
}

TEST(HostileInputTest, SizeLimits) {
    Converter c;
    c.reader.limits.maxDocumentBytes = 100;
    const std::string big = "<doc>" + std::string(200, 'x') + "</doc>";
    TempFolder dir;
    for (bool from_file : {false, true}) {
        try {
            if (from_file)
                c.reader.parseURL(dir.Write("big.xml", big));
            else
                c.Parse(big);
            FAIL() << "oversized document accepted";
        } catch (const LoadError& error) {
            EXPECT_EQ(error.Reason(), "document is larger than 100 bytes");
        }
    }
    Converter text;
    text.reader.limits.maxTextBytes = 1000;
    EXPECT_THROW(text.Parse("<!DOCTYPE d [<!ENTITY e \"" + std::string(100, 'y') +
                            "\">]><d>&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;</d>"),
                 LoadError);
}

TEST(HostileInputTest, ExternalEntitiesAreNeverRead) {
    TempFolder dir;
    const std::string secret = dir.Write("secret.txt", "TOP-SECRET");
    const std::string dtd = dir.Write("ext.dtd", "<!ENTITY inner \"FROM-DTD\">");
    const std::string url = "file://" + secret;
    const std::string docs[] = {
        "<!DOCTYPE doc [<!ENTITY ext SYSTEM \"" + url +
            "\">]><doc><section>a&ext;b</section></doc>",
        "<!DOCTYPE doc [<!ENTITY ext SYSTEM \"" + secret +
            "\">]><doc><section>a&ext;b</section></doc>",
        "<!DOCTYPE doc [<!ENTITY % p SYSTEM \"" + dtd + "\"> %p;]><doc><section>ab</section></doc>",
        "<!DOCTYPE doc SYSTEM \"" + dtd + "\"><doc><section>ab</section></doc>",
        "<!DOCTYPE doc SYSTEM \"file:///etc/passwd\"><doc><section>ab</section></doc>",
    };
    for (const std::string& xml : docs) {
        Converter c;
        c.Parse(xml);
        ASSERT_EQ(c.doc.SectionCount(), 1) << xml;
        EXPECT_EQ(c.doc.SectionMarkup[1], "|bg=default|ab|bge|") << xml;
    }
}

TEST(HostileInputTest, RandomBytesNeverCrash) {
    std::mt19937 random(12345);
    const std::string seed = RichDocument();
    for (int round = 0; round < 300; ++round) {
        std::string xml = seed;
        for (int flip = 0; flip < 5; ++flip)
            xml[random() % xml.size()] = static_cast<char>(random() & 0xFF);
        Converter c;
        c.reader.setChunkSize(1 + random() % 97);
        try {
            c.Parse(xml);
        } catch (const LoadError& error) {
            EXPECT_FALSE(error.Reason().empty());
        }
        EXPECT_EQ(c.doc.SectionMarkup[0], "");
    }
}

}  // namespace
}  // namespace kavro::document
