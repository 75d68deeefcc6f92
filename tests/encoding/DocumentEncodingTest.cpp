// Documents declared in encodings the XML parser does not read itself, converted to UTF-8 on
// the way in.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "document/DocumentTestSupport.h"
#include "encoding/Transcoder.h"
#include "encoding/XmlEncoding.h"

namespace kavro::document {
namespace {

using testing::Converter;

struct Sample {
    const char* name;
    std::string encoded;
    std::string utf8;
};

// The same words in each encoding (bytes written out here, not made with iconv) and in UTF-8.
const Sample kSamples[] = {
    {"Shift_JIS",
     "\x93\xFA\x96{\x8C\xEA\x82\xCC\x83"
     "e\x83L\x83X\x83g\x81"
     "A\xB6\xC0\xB6\xC5",
     "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x81\xAE\xE3\x83\x86\xE3\x82\xAD\xE3\x82\xB9\xE3\x83"
     "\x88\xE3\x80\x81\xEF\xBD\xB6\xEF\xBE\x80\xEF\xBD\xB6\xEF\xBE\x85"},
    {"EUC-JP", "\xC6\xFC\xCB\xDC\xB8\xEC\xA4\xCE\xA5\xC6\xA5\xAD\xA5\xB9\xA5\xC8",
     "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x81\xAE\xE3\x83\x86\xE3\x82\xAD\xE3\x82\xB9\xE3\x83"
     "\x88"},
    {"windows-1251", "\xCF\xF0\xE8\xE2\xE5\xF2, \xEC\xE8\xF0! \xB9",
     "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82, \xD0\xBC\xD0\xB8\xD1\x80! \xE2\x84\x96"},
    {"KOI8-R", "\xF0\xD2\xC9\xD7\xC5\xD4, \xCD\xC9\xD2!",
     "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82, \xD0\xBC\xD0\xB8\xD1\x80!"},
    {"GB2312", "\xBC\xF2\xCC\xE5\xD6\xD0\xCE\xC4\xCE\xC4\xB1\xBE",
     "\xE7\xAE\x80\xE4\xBD\x93\xE4\xB8\xAD\xE6\x96\x87\xE6\x96\x87\xE6\x9C\xAC"},
    {"Big5",
     "\xC1"
     "c\xC5\xE9\xA4\xA4\xA4\xE5\xBB\xA1\xA9\xFA",
     "\xE7\xB9\x81\xE9\xAB\x94\xE4\xB8\xAD\xE6\x96\x87\xE8\xAA\xAA\xE6\x98\x8E"},
};

std::string Declared(const std::string& name, const std::string& body) {
    return "<?xml version=\"1.0\" encoding=\"" + name + "\"?>\n" + body;
}

// A document whose caption and section text are the sample.
std::string SampleDocument(const Sample& s) {
    return Declared(s.name, "<doc><info t=\"" + s.encoded + "\"/><section>\n" + s.encoded +
                                "\n</section></doc>");
}

LoadError ErrorOf(const std::string& xml, std::size_t chunk = 64 * 1024) {
    Converter c;
    c.reader.setChunkSize(chunk);
    try {
        c.Parse(xml);
    } catch (const LoadError& error) {
        return error;
    }
    ADD_FAILURE() << "no error";
    return LoadError("", 0, 0, "");
}

TEST(DocumentEncodingTest, EveryEncodingReadsAsItsUtf8Text) {
    for (const Sample& s : kSamples) {
        // Whole, and one byte at a time (every multi-byte character split).
        for (const std::size_t chunk : {std::size_t{64 * 1024}, std::size_t{1}}) {
            Converter c;
            c.reader.setChunkSize(chunk);
            c.Parse(SampleDocument(s));
            EXPECT_EQ(c.doc.InfoText, s.utf8) << s.name << ", chunk " << chunk;
            ASSERT_EQ(c.doc.SectionCount(), 1) << s.name;
            EXPECT_EQ(c.doc.SectionMarkup[1], "|bg=default|\n" + s.utf8 + "\n|bge|") << s.name;
        }
    }
}

TEST(DocumentEncodingTest, NamesIgnoreCaseAndDeclarationsMayUseSingleQuotesAndLineBreaks) {
    const Sample& s = kSamples[0];
    Converter c;
    c.Parse("<?xml version='1.0'\r\n  encoding = 'shift_jis' ?><doc><info t=\"" + s.encoded +
            "\"/></doc>");
    EXPECT_EQ(c.doc.InfoText, s.utf8);
}

TEST(DocumentEncodingTest, StatefulUtf32AndEbcdicEncodings) {
    Converter iso2022;
    iso2022.Parse(
        "<?xml version=\"1.0\" encoding=\"ISO-2022-JP\"?><doc><info t=\"\x1B$BF|K\\8l\x1B(B\"/>"
        "</doc>");
    EXPECT_EQ(iso2022.doc.InfoText, "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E");

    // UTF-32 little-endian with its byte order mark, widened by hand.
    const std::u32string wide =
        U"\uFEFF<?xml version=\"1.0\" encoding=\"UTF-32\"?><doc><info "
        U"t=\"\u00E9\U0001F600\"/></doc>";
    std::string utf32;
    for (const char32_t unit : wide)
        for (int shift = 0; shift < 32; shift += 8)
            utf32.push_back(static_cast<char>((unit >> shift) & 0xFF));
    Converter le;
    le.reader.setChunkSize(3);
    le.Parse(utf32);
    EXPECT_EQ(le.doc.InfoText, "\xC3\xA9\xF0\x9F\x98\x80");

    Converter ebcdic;
    ebcdic.Parse(
        "Lo\xA7\x94\x93@\xA5\x85\x99\xA2\x89\x96\x95~\x7F\xF1K\xF0\x7F@\x85\x95\x83\x96\x84\x89\x95"
        "\x87~\x7F\xC9\xC2\xD4\xF0\xF3\xF7\x7FonL\x84\x96\x83nL\x89\x95\x86\x96@\xA3~\x7F\xC5\x82"
        "\x83\x84\x89\x83\x7F"
        "anLa\x84\x96\x83n");
    EXPECT_EQ(ebcdic.doc.InfoText, "Ebcdic");
}

TEST(DocumentEncodingTest, UnconvertibleBytesFailAtTheirPosition) {
    // 0x98 is no character of windows-1251: line 3, after four characters.
    LoadError cyrillic = ErrorOf(Declared("windows-1251", "<doc>\n\xCF\xF0\xE8\xE2\x98</doc>"));
    EXPECT_EQ(cyrillic.Line(), 3);
    EXPECT_EQ(cyrillic.Column(), 5);
    EXPECT_EQ(cyrillic.Reason(), "the byte 0x98 begins no character of windows-1251");

    // In a two-byte encoding, split byte by byte: two characters, then a byte Shift_JIS lacks.
    for (const std::size_t chunk : {std::size_t{64 * 1024}, std::size_t{1}}) {
        LoadError sjis = ErrorOf(Declared("Shift_JIS", "<doc>\x93\xFA\x96{\xA0</doc>"), chunk);
        EXPECT_EQ(sjis.Line(), 2) << chunk;
        EXPECT_EQ(sjis.Column(), 8) << chunk;
    }
    // Carriage returns end lines as line feeds do, the pair counting once.
    LoadError lines = ErrorOf(Declared("windows-1251", "<doc>\r\n\r\r\nab\x98</doc>"));
    EXPECT_EQ(lines.Line(), 5) << lines.what();
    EXPECT_EQ(lines.Column(), 3) << lines.what();

    // A document that ends inside a two-byte character.
    LoadError cut = ErrorOf(Declared("Shift_JIS", "<doc/>\n\x93"));
    EXPECT_EQ(cut.Line(), 3);
    EXPECT_EQ(cut.Column(), 1);
    EXPECT_NE(cut.Reason().find("ends inside a character"), std::string::npos) << cut.Reason();
}

TEST(DocumentEncodingTest, MarkupErrorsKeepThePositionsOfTheOriginalText) {
    const Sample& s = kSamples[0];
    LoadError converted = ErrorOf(Declared(s.name, "<doc>\n" + s.encoded + "<</doc>"));
    LoadError utf8 = ErrorOf(Declared("UTF-8", "<doc>\n" + s.utf8 + "<</doc>"));
    EXPECT_EQ(converted.Line(), 3);
    EXPECT_EQ(converted.Line(), utf8.Line());
    EXPECT_EQ(converted.Column(), utf8.Column());
    EXPECT_EQ(converted.Reason(), utf8.Reason());
    // Bad markup before a bad byte is reported first.
    LoadError first = ErrorOf(Declared("windows-1251", "<doc><</doc>\x98"));
    EXPECT_EQ(first.Line(), 2);
    EXPECT_EQ(first.Column(), 7);
}

TEST(DocumentEncodingTest, UnknownNamesFailAtTheDeclaration) {
    LoadError unknown = ErrorOf("<?xml version=\"1.0\" encoding=\"klingon\"?><doc/>");
    EXPECT_EQ(unknown.Reason(), "unknown encoding");
    EXPECT_EQ(unknown.Line(), 1);
    EXPECT_EQ(unknown.Column(), 31) << "the first character of the name";
    // EBCDIC that names a code page iconv lacks: the same error at the same place.
    LoadError ebcdic = ErrorOf(
        "Lo\xA7\x94\x93@\xA5\x85\x99\xA2\x89\x96\x95~\x7F\xF1K\xF0\x7F@\x85\x95\x83\x96\x84\x89\x95"
        "\x87~\x7F\x92\x93\x89\x95\x87\x96\x95\x7FonL\x84\x96\x83"
        "an");
    EXPECT_EQ(ebcdic.Reason(), "unknown encoding");
    EXPECT_EQ(ebcdic.Line(), 1);
    EXPECT_EQ(ebcdic.Column(), 31);
}

TEST(DocumentEncodingTest, LimitsCountTheFilesBytes) {
    // 100 bytes of the file are allowed; the converted text is larger.
    const std::string cyrillic(40, '\xCF');
    const std::string at_limit = Declared("windows-1251", "<d>" + cyrillic + "</d>");
    Converter fits;
    fits.reader.limits.maxDocumentBytes = at_limit.size();
    EXPECT_NO_THROW(fits.Parse(at_limit));
    Converter over;
    over.reader.limits.maxDocumentBytes = at_limit.size() - 1;
    EXPECT_THROW(over.Parse(at_limit), LoadError);
}

TEST(DocumentEncodingTest, FilesLongerThanTheFirstReadConvertAcrossChunks) {
    const Sample& s = kSamples[1];
    std::string body = "<doc><section>\n";
    std::string expected = "|bg=default|\n";
    while (body.size() < 20000) {
        body += s.encoded + "\n";
        expected += s.utf8 + "\n";
    }
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("kavro-encoding-" + std::to_string(::getpid()) + ".xml"))
                                 .string();
    std::ofstream(path, std::ios::binary) << Declared(s.name, body + "</section></doc>");
    for (const std::size_t chunk : {std::size_t{7}, std::size_t{4096}}) {
        Converter c;
        c.reader.setChunkSize(chunk);
        c.reader.parseURL(path);
        ASSERT_EQ(c.doc.SectionCount(), 1);
        EXPECT_EQ(c.doc.SectionMarkup[1], expected + "|bge|") << chunk;
    }
    std::filesystem::remove(path);
}

TEST(DocumentEncodingTest, ChoiceFollowsMarksPatternsAndDeclarations) {
    using encoding::ChooseEncoding;
    EXPECT_EQ(ChooseEncoding("<doc/>").convertFrom, "");
    EXPECT_EQ(ChooseEncoding(Declared("UTF-8", "")).convertFrom, "");
    EXPECT_EQ(ChooseEncoding(Declared("Windows-1252", "")).convertFrom, "");
    EXPECT_EQ(ChooseEncoding("\xEF\xBB\xBF" + Declared("Shift_JIS", "")).convertFrom, "")
        << "a UTF-8 byte order mark is the parser's to check";
    EXPECT_EQ(ChooseEncoding(Declared("KOI8-R", "")).convertFrom, "KOI8-R");
    EXPECT_EQ(ChooseEncoding(std::string("<\0\0\0", 4)).convertFrom, "UTF-32LE");
    EXPECT_EQ(ChooseEncoding(std::string("\0\0\0<", 4)).convertFrom, "UTF-32BE");
    EXPECT_EQ(ChooseEncoding(std::string("<\0?\0", 4)).convertFrom, "") << "UTF-16";
    // "encoding" must be a name of its own in the declaration.
    EXPECT_EQ(ChooseEncoding("<?xml version=\"1.0\" xencoding=\"KOI8-R\"?>").convertFrom, "");
    EXPECT_EQ(ChooseEncoding("<?xmlencoding=\"KOI8-R\"?>").convertFrom, "");
    // An instruction whose name only begins with "xml" declares nothing.
    EXPECT_EQ(ChooseEncoding("<?xml-stylesheet encoding=\"KOI8-R\"?><doc/>").convertFrom, "");
    EXPECT_EQ(ChooseEncoding("<?xml version=\"1.0\"?><a encoding=\"KOI8-R\"/>").convertFrom, "");
    // Names that are no XML encoding names are left to the parser to refuse.
    EXPECT_EQ(ChooseEncoding(Declared("KOI8-R//IGNORE", "")).convertFrom, "");
    EXPECT_EQ(ChooseEncoding(Declared("8859-5", "")).convertFrom, "");
    EXPECT_EQ(ChooseEncoding(Declared("", "")).convertFrom, "");
    EXPECT_THROW(Converter().Parse(Declared("KOI8-R//IGNORE", "<d/>")), LoadError);
}

}  // namespace
}  // namespace kavro::document
