#include "imaging/cBitmap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "ImagingTestFiles.h"
#include "backend/LoadPicture.h"
#include "backend/PictureHeader.h"

namespace kavro::imaging {
namespace {

using testing::PngSuite;
using testing::PngSuiteDir;

// Records every Error event a bitmap raises.
struct ErrorLog {
    std::vector<std::pair<long, std::string>> events;
    void Attach(cBitmap& b) {
        b.Error = [this](long code, const std::string& text) { events.emplace_back(code, text); };
    }
};

TEST(GdiErrorString, MapsStatusesAndUnknownValues) {
    cBitmap bitmap;
    EXPECT_EQ(bitmap.GdiErrorString(0), "Unknown GDI+ Error");
    EXPECT_EQ(bitmap.GdiErrorString(13), "Unknown Image Format");
    EXPECT_EQ(bitmap.GdiErrorString(21), "Unknown GDI+ Error");
    EXPECT_EQ(bitmap.GdiErrorString(-1), "Unknown GDI+ Error");
    EXPECT_EQ(bitmap.GdiErrorString(10), "File Not Found");
    EXPECT_EQ(bitmap.GdiErrorString(20), "Property Not Supported");
}

TEST(EncoderTable, PatternsAreFoundIgnoringCase) {
    cBitmap bitmap;
    const long png = bitmap.ExtensionExists("*.png");
    EXPECT_GE(png, 0);
    EXPECT_EQ(png, bitmap.ExtensionExists("*.PNG"));
    EXPECT_EQ(bitmap.EncoderClsid(png), cBitmap::kPngEncoder);
    EXPECT_EQ(bitmap.ExtensionExists("png"), -1);
    EXPECT_EQ(bitmap.ExtensionExists(""), -1);

    const long bmp = bitmap.ExtensionExists("*.BMP");
    EXPECT_EQ(bmp, 0);  // BMP is listed first
    EXPECT_EQ(bitmap.ExtensionExists("*.dib"), bmp);
    EXPECT_EQ(bitmap.ExtensionExists("*.RLE"), bmp);
    EXPECT_EQ(bitmap.ExtensionExists("*.jpeg"), bitmap.ExtensionExists("*.JFIF"));
    EXPECT_FALSE(bitmap.EncoderClsid(bitmap.EncoderCount()).has_value());
}

TEST(EncoderTable, AddExtensionsSplitsAndTrimsOnlyTheLastPiece) {
    cBitmap bitmap;
    bitmap.AddExtensions("*.AAA;*.BBB;", 7);
    EXPECT_EQ(bitmap.ExtensionExists("*.aaa"), 7);
    EXPECT_EQ(bitmap.ExtensionExists("*.bbb"), 7);
    EXPECT_EQ(bitmap.ExtensionExists(""), -1);  // the trailing ";" adds no empty key

    bitmap.AddExtensions(" *.CCC; *.DDD ", 8);
    EXPECT_EQ(bitmap.ExtensionExists(" *.CCC"), 8);  // earlier pieces stay as they are
    EXPECT_EQ(bitmap.ExtensionExists("*.CCC"), -1);
    EXPECT_EQ(bitmap.ExtensionExists("*.DDD"), 8);  // the last one is trimmed
    bitmap.AddExtensions("   ", 9);
    EXPECT_EQ(bitmap.ExtensionExists(""), -1);
}

TEST(BitmapLifetime, DisposeTwiceAndEmptyPicture) {
    cBitmap bitmap;
    ErrorLog log;
    log.Attach(bitmap);
    EXPECT_EQ(bitmap.Handle(), 0u);
    EXPECT_EQ(bitmap.Picture(), nullptr);
    EXPECT_TRUE(log.events.empty());  // no image is not an error

    ASSERT_EQ(bitmap.LoadFromFile(PngSuite("basn2c08.png")), Ok);
    EXPECT_NE(bitmap.Handle(), 0u);
    bitmap.Dispose();
    EXPECT_EQ(bitmap.Handle(), 0u);
    bitmap.Dispose();
    EXPECT_EQ(bitmap.Handle(), 0u);
    EXPECT_EQ(bitmap.Picture(), nullptr);
    EXPECT_TRUE(log.events.empty());
}

TEST(BitmapLoad, MissingFileFailsThreeTimesAndReturnsTheLoadStatus) {
    testing::TempFolder dir;
    cBitmap bitmap;
    ErrorLog log;
    log.Attach(bitmap);
    EXPECT_EQ(bitmap.LoadFromFile(dir.File("absent.png")), FileNotFound);
    ASSERT_EQ(log.events.size(), 3u);  // the load, then the format and size reads
    EXPECT_EQ(log.events[0], std::make_pair(long{FileNotFound}, std::string("File Not Found")));
    EXPECT_EQ(bitmap.CurErr(), InvalidParameter);
    EXPECT_EQ(bitmap.Handle(), 0u);
    EXPECT_EQ(bitmap.Picture(), nullptr);

    EXPECT_EQ(bitmap.LoadFromFile(PngSuite("basn2c08.png")), Ok);
    EXPECT_EQ(bitmap.CurErr(), Ok);
    EXPECT_EQ(bitmap.Width(), 32);
    EXPECT_EQ(bitmap.Height(), 32);
    EXPECT_EQ(bitmap.Bounds().Width, 32);
    EXPECT_EQ(bitmap.Bounds().x, 0);
}

TEST(BitmapLoad, PixelFormatsFollowTheFile) {
    const std::pair<const char*, long> cases[] = {
        {"basn3p08.png", PixelFormat8bppIndexed}, {"basn3p01.png", PixelFormat1bppIndexed},
        {"basn3p04.png", PixelFormat4bppIndexed}, {"basn3p02.png", PixelFormat4bppIndexed},
        {"basn2c08.png", PixelFormat24bppRGB},    {"basn6a08.png", PixelFormat32bppARGB},
    };
    for (const auto& [name, format] : cases) {
        cBitmap bitmap;
        ASSERT_EQ(bitmap.LoadFromFile(PngSuite(name)), Ok) << name;
        EXPECT_EQ(bitmap.PixelFormat(), format) << name;
    }
}

// Every PngSuite file either loads or is refused with a status; the x* files must be refused.
TEST(BitmapLoad, WholePngSuiteLoadsOrIsCleanlyRejected) {
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(PngSuiteDir())) {
        if (entry.path().extension() != ".png") continue;
        ++files;
        const std::string name = entry.path().filename().string();
        cBitmap bitmap;
        const long status = bitmap.LoadFromFile(entry.path().string());
        if (name[0] == 'x') {
            EXPECT_NE(status, Ok) << name;
            EXPECT_EQ(bitmap.Picture(), nullptr) << name;
        } else {
            ASSERT_EQ(status, Ok) << name;
            const toolkit::PicturePtr picture = bitmap.Picture();
            ASSERT_NE(picture, nullptr) << name;
            EXPECT_EQ(picture->Width(), bitmap.Width()) << name;
            EXPECT_TRUE(std::all_of(picture->Pixels().begin(), picture->Pixels().end(),
                                    [](std::uint32_t p) { return (p >> 24) == 0xFF; }))
                << name;
        }
    }
    EXPECT_GT(files, 150);
}

TEST(BitmapLoad, FuzzRegressionsDoNotCrash) {
    const auto dir = kavro::testing::TestData("png-fuzz-regressions");
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        ++files;
        cBitmap bitmap;
        const long status = bitmap.LoadFromFile(entry.path().string());
        EXPECT_EQ(status == Ok, bitmap.Picture() != nullptr) << entry.path();
    }
    EXPECT_EQ(files, 5);
}

TEST(BitmapLoad, CorruptAndOversizedFilesAreRefused) {
    testing::TempFolder dir;
    ASSERT_TRUE(testing::SaveSolid(dir.File("good.png"), 8, 8, 0xFF336699));
    std::vector<std::uint8_t> good = testing::ReadBytes(dir.File("good.png"));
    ASSERT_GT(good.size(), 40u);

    testing::WriteBytes(dir.File("empty.png"), {});
    testing::WriteBytes(dir.File("truncated.png"),
                        std::vector<std::uint8_t>(good.begin(), good.begin() + good.size() / 2));
    testing::WriteBytes(dir.File("zero.png"), testing::PngHeaderOnly(0, 16));
    testing::WriteBytes(dir.File("huge.png"), testing::PngHeaderOnly(30000, 30000));
    testing::WriteBytes(dir.File("text.png"), {'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm'});

    const std::pair<const char*, long> cases[] = {
        {"empty.png", UnknownImageFormat}, {"truncated.png", UnknownImageFormat},
        {"zero.png", UnknownImageFormat},  {"huge.png", OutOfMemory},
        {"text.png", UnknownImageFormat},
    };
    for (const auto& [name, expected] : cases) {
        cBitmap bitmap;
        ErrorLog log;
        log.Attach(bitmap);
        EXPECT_EQ(bitmap.LoadFromFile(dir.File(name)), expected) << name;
        ASSERT_FALSE(log.events.empty()) << name;
        EXPECT_EQ(log.events.front().first, expected) << name;
        EXPECT_EQ(bitmap.Picture(), nullptr) << name;
    }

    // A folder is not a file.
    cBitmap bitmap;
    EXPECT_EQ(bitmap.LoadFromFile(std::filesystem::temp_directory_path().string()), FileNotFound);
}

using Bytes = std::vector<std::uint8_t>;
using Format = toolkit::PictureHeader::Format;

// A value written over a header field: where, how many bytes, in which order.
struct Put {
    std::size_t at;
    std::uint32_t value;
    int bytes;
    bool big_endian = false;
};

Bytes Patched(Bytes b, std::initializer_list<Put> puts) {
    for (const Put& p : puts)
        (p.big_endian ? testing::PutBe : testing::PutLe)(b, p.at, p.value, p.bytes);
    return b;
}

// A small picture of a format checked before decoding, and the same with its header claiming
// sizes (huge_width x huge_height) that no decoder may be left to allocate for.
struct FormatCase {
    std::string name;
    Format format;
    Bytes bytes;
    Bytes huge;
    std::uint32_t huge_width;
    std::uint32_t huge_height;
};

std::vector<FormatCase> CheckedFormats(const testing::TempFolder& dir) {
    using testing::Convert, testing::SampleIco, testing::SampleTiff;
    const Bytes webp = Convert("-size 16x2 'xc:rgba(255,0,0,0.5)'", dir.File("a.webp"));
    return {
        {"le.tif", Format::Tiff, SampleTiff(false),
         Patched(SampleTiff(false), {{18, 60000, 2}, {30, 100000, 4}}), 60000, 100000},
        {"be.tif", Format::Tiff, SampleTiff(true),
         Patched(SampleTiff(true), {{18, 60000, 2, true}, {30, 100000, 4, true}}), 60000, 100000},
        {"alpha.webp", Format::Webp, webp,  // extended: the canvas sizes, less one
         Patched(webp, {{24, 99999, 3}, {27, 99999, 3}}), 100000, 100000},
        {"sample.ico", Format::Ico, SampleIco(1),
         Patched(SampleIco(1), {{26, 100000, 4}, {30, 200000, 4}}), 100000, 100000},
        {"sample.cur", Format::Cur, SampleIco(2),
         Patched(SampleIco(2), {{26, 100000, 4}, {30, 200000, 4}}), 100000, 100000},
    };
}

// Each format loads through both loaders; a header claiming a huge picture, or one cut short,
// is refused from the header alone (a decoder would allocate gigabytes for the first).
TEST(BitmapLoad, EveryCheckedFormatLoadsAndHostileHeadersAreRefused) {
    testing::TempFolder dir;
    for (const FormatCase& c : CheckedFormats(dir)) {
        SCOPED_TRACE(c.name);
        ASSERT_FALSE(c.bytes.empty());
        const toolkit::PictureHeader header = toolkit::ReadPictureHeader(c.bytes);
        EXPECT_EQ(header.format, c.format);
        EXPECT_TRUE(header.SizesAcceptable());
        EXPECT_EQ(header.width, std::uint32_t{testing::kSampleWidth});
        EXPECT_EQ(header.height, std::uint32_t{testing::kSampleHeight});
        const std::string good = dir.File(c.name);
        testing::WriteBytes(good, c.bytes);
        cBitmap bitmap;
        EXPECT_EQ(bitmap.LoadFromFile(good), Ok);
        EXPECT_EQ(bitmap.Width(), testing::kSampleWidth);
        EXPECT_EQ(bitmap.Height(), testing::kSampleHeight);
        const std::optional<toolkit::PicturePtr> picture = toolkit::LoadPicture(good);
        ASSERT_TRUE(picture && *picture);
        EXPECT_EQ((*picture)->Width(), testing::kSampleWidth);
        EXPECT_EQ((*picture)->Height(), testing::kSampleHeight);

        const toolkit::PictureHeader claimed = toolkit::ReadPictureHeader(c.huge);
        EXPECT_EQ(claimed.format, c.format);
        EXPECT_EQ(claimed.width, c.huge_width);
        EXPECT_EQ(claimed.height, c.huge_height);
        EXPECT_FALSE(claimed.SizesAcceptable());
        const std::string huge = dir.File("huge-" + c.name);
        testing::WriteBytes(huge, c.huge);
        EXPECT_EQ(cBitmap().LoadFromFile(huge), OutOfMemory);
        EXPECT_FALSE(toolkit::LoadPicture(huge).has_value());

        const Bytes head(c.bytes.begin(), c.bytes.begin() + 12);
        EXPECT_FALSE(toolkit::ReadPictureHeader(head).SizesAcceptable());
        const std::string cut = dir.File("cut-" + c.name);
        testing::WriteBytes(cut, head);
        EXPECT_EQ(cBitmap().LoadFromFile(cut), UnknownImageFormat);
        EXPECT_FALSE(toolkit::LoadPicture(cut).has_value());
    }
}

// A picture exactly as large as allowed (a side, or the pixel count) is taken from its header,
// one pixel more is not; so is a GIF frame larger than its logical screen.
TEST(BitmapLoad, SizeLimitIsCheckedAtItsBoundary) {
    const std::uint32_t limit = toolkit::kMaxPictureSide;
    for (const auto& [w, h, accepted] : {std::tuple{limit, 1u, true},
                                         {1u, limit, true},
                                         {limit + 1, 1u, false},
                                         {1u, limit + 1, false},
                                         {8192u, 8192u, true},
                                         {8193u, 8192u, false},
                                         {limit, 4096u, true},
                                         {limit, 4097u, false},
                                         {0u, 1u, false}}) {
        const toolkit::PictureHeader header =
            toolkit::ReadPictureHeader(testing::PngHeaderOnly(w, h));
        EXPECT_EQ(header.SizesAcceptable(), accepted) << w << " x " << h;
    }
    for (const std::uint32_t side : {limit, limit + 1}) {
        Bytes gif = testing::TinyGif();
        testing::PutLe(gif, 24, side, 2);  // the frame's width
        EXPECT_EQ(toolkit::ReadPictureHeader(gif).oversized_frame, side > limit) << side;
    }
}

// Formats documents are not made with are not decoded at all, whatever their name: the
// bitmap refuses them as an unknown format and the toolkit's loader gives nothing. SVG would
// also be drawn at whatever size its text asks for.
TEST(BitmapLoad, FormatsDocumentsDoNotUseAreRefused) {
    testing::TempFolder dir;
    Bytes tga(18, 0);  // true colour, 2 x 1, then two pixels
    tga[2] = 2, tga[12] = 2, tga[14] = 1, tga[16] = 24;
    tga.insert(tga.end(), {0xFF, 0, 0, 0, 0, 0xFF});
    Bytes xcf = testing::Text("gimp xcf file");
    xcf.resize(30, 0);
    testing::PutBe(xcf, 14, testing::kSampleWidth, 4);
    testing::PutBe(xcf, 18, testing::kSampleHeight, 4);
    std::vector<std::pair<std::string, Bytes>> cases = {
        {"tiny.svg", testing::Text("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"7\" "
                                   "height=\"4\"><rect width=\"7\" height=\"4\"/></svg>")},
        {"sample.pcx", testing::SamplePcx()},
        {"sample.ppm", testing::SamplePnm()},
        {"sample.qoi", testing::SampleQoi()},
        {"sample.lbm", testing::SampleLbm()},
        {"sample.xpm", testing::SampleXpm()},
        {"sample.xv", testing::SampleXv()},
        {"sample.tga", tga},
        {"sample.xcf", xcf},
    };
    // The same formats as a common encoder writes them.
    for (const char* made : {"red.pcx", "red.ppm", "grey.pgm", "red.xpm", "red.tga"})
        cases.emplace_back(made, testing::Convert("-size 16x2 xc:red", dir.File(made)));
    for (const auto& [name, bytes] : cases) {
        SCOPED_TRACE(name);
        ASSERT_FALSE(bytes.empty());
        EXPECT_EQ(toolkit::ReadPictureHeader(bytes).format, Format::Unknown);
        testing::WriteBytes(dir.File(name), bytes);
        ErrorLog log;
        cBitmap bitmap;
        log.Attach(bitmap);
        EXPECT_EQ(bitmap.LoadFromFile(dir.File(name)), UnknownImageFormat);
        ASSERT_FALSE(log.events.empty());
        EXPECT_EQ(log.events.front().second, "Unknown Image Format");
        EXPECT_EQ(bitmap.Picture(), nullptr);
        EXPECT_FALSE(toolkit::LoadPicture(dir.File(name)).has_value());
    }
}

// Files as a common encoder writes them (more tags, other layouts) read the same.
TEST(BitmapLoad, PicturesMadeByImageMagickLoad) {
    testing::TempFolder dir;
    const std::pair<const char*, const char*> made[] = {
        {"le.tif", "-size 16x2 xc:red"},
        {"be.tif", "-size 16x2 xc:red -define tiff:endian=msb"},
        {"lossy.webp", "-size 16x2 xc:red -quality 80"},
        {"lossless.webp", "-size 16x2 xc:red -define webp:lossless=true"},
        {"red.ico", "-size 16x2 xc:red"},
    };
    for (const auto& [name, arguments] : made) {
        SCOPED_TRACE(name);
        const Bytes bytes = testing::Convert(arguments, dir.File(name));
        ASSERT_FALSE(bytes.empty());
        const toolkit::PictureHeader header = toolkit::ReadPictureHeader(bytes);
        EXPECT_TRUE(header.SizesAcceptable());
        EXPECT_EQ(header.width, 16u);
        EXPECT_EQ(header.height, 2u);
        cBitmap bitmap;
        EXPECT_EQ(bitmap.LoadFromFile(dir.File(name)), Ok);
        EXPECT_EQ(bitmap.Width(), 16);
        const std::optional<toolkit::PicturePtr> picture = toolkit::LoadPicture(dir.File(name));
        ASSERT_TRUE(picture && *picture);
        EXPECT_EQ((*picture)->Height(), 2);
    }
}

TEST(BitmapLoad, ContentDecidesTheDecoderNotTheName) {
    testing::TempFolder dir;
    ASSERT_TRUE(testing::SaveSolid(dir.File("photo.png"), 6, 4, 0xFFFFFFFF, cBitmap::kJpegEncoder));
    cBitmap bitmap;
    ASSERT_EQ(bitmap.LoadFromFile(dir.File("photo.png")), Ok);
    EXPECT_EQ(bitmap.Width(), 6);
    EXPECT_EQ(bitmap.Height(), 4);
}

TEST(BitmapLoad, LoadingAgainReplacesTheImage) {
    cBitmap bitmap;
    ASSERT_EQ(bitmap.LoadFromFile(PngSuite("basn2c08.png")), Ok);
    EXPECT_EQ(bitmap.LoadFromFile(PngSuite("xs1n0g01.png")), UnknownImageFormat);
    EXPECT_EQ(bitmap.Handle(), 0u);
    EXPECT_EQ(bitmap.Picture(), nullptr);
}

// Transparent pixels come out black and every pixel opaque.
TEST(BitmapPicture, TransparencyIsCompositedOverBlack) {
    for (const char* name : {"basn6a08.png", "tbrn2c08.png", "tbbn3p08.png", "basn4a08.png"}) {
        const std::optional<toolkit::PicturePtr> straight = toolkit::LoadPicture(PngSuite(name));
        ASSERT_TRUE(straight && *straight) << name;
        cBitmap bitmap;
        ASSERT_EQ(bitmap.LoadFromFile(PngSuite(name)), Ok) << name;
        const toolkit::PicturePtr picture = bitmap.Picture();
        ASSERT_NE(picture, nullptr);
        ASSERT_EQ(picture->Pixels().size(), (*straight)->Pixels().size());
        int transparent = 0;
        for (std::size_t i = 0; i < picture->Pixels().size(); ++i) {
            const std::uint32_t s = (*straight)->Pixels()[i];
            const std::uint32_t p = picture->Pixels()[i];
            EXPECT_EQ(p >> 24, 0xFFu);
            if ((s >> 24) == 0) {
                ++transparent;
                EXPECT_EQ(p, 0xFF000000u) << name << " pixel " << i;
            } else if ((s >> 24) == 0xFF) {
                EXPECT_EQ(p, s) << name << " pixel " << i;
            }
        }
        EXPECT_GT(transparent, 0) << name;
    }
}

TEST(BitmapPicture, OutlivesTheBitmapAndKeepsTheSource) {
    toolkit::PicturePtr picture;
    {
        cBitmap bitmap;
        ASSERT_EQ(bitmap.LoadFromFile(PngSuite("basn2c08.png")), Ok);
        picture = bitmap.Picture();
        EXPECT_NE(picture, bitmap.Picture());  // a new picture every time
    }
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->Width(), 32);
    EXPECT_EQ(picture->Source(), PngSuite("basn2c08.png"));
}

TEST(BitmapPalette, SetTransColorMakesAnEntryBlack) {
    cBitmap bitmap;
    ASSERT_EQ(bitmap.LoadFromFile(PngSuite("basn3p08.png")), Ok);
    ColorPalette palette;
    ASSERT_EQ(bitmap.GetPalette(palette, 256), Ok);
    ASSERT_GT(palette.Count, 1u);
    const toolkit::PicturePtr before = bitmap.Picture();
    ASSERT_NE(before, nullptr);
    ASSERT_NE(before->Pixels()[0], 0xFF000000u);

    // Find the entry of the first pixel by its colour, then make it transparent.
    long index = -1;
    for (std::uint32_t i = 0; i < palette.Count && index < 0; ++i)
        if ((palette.Entries[i] | 0xFF000000u) == before->Pixels()[0]) index = static_cast<long>(i);
    ASSERT_GE(index, 0);
    bitmap.SetTransColor(index);
    ASSERT_EQ(bitmap.GetPalette(palette, 256), Ok);
    EXPECT_EQ(palette.Entries[static_cast<std::size_t>(index)] >> 24, 0u);
    EXPECT_EQ(palette.Flags & 1u, 1u);
    EXPECT_EQ(bitmap.Picture()->Pixels()[0], 0xFF000000u);

    // Out-of-range indices and a too-small buffer are refused, not written past.
    bitmap.SetTransColor(256);
    bitmap.SetTransColor(-1);
    EXPECT_EQ(bitmap.GetPalette(palette, 4), InsufficientBuffer);
    palette.Count = 300;
    EXPECT_EQ(bitmap.SetPalette(palette), InvalidParameter);
}

TEST(BitmapPalette, DirectColourImagesHaveAnEmptyPalette) {
    cBitmap bitmap;
    ColorPalette palette;
    EXPECT_EQ(bitmap.GetPalette(palette, 256), InvalidParameter);  // no image
    ASSERT_EQ(bitmap.LoadFromFile(PngSuite("basn2c08.png")), Ok);
    EXPECT_EQ(bitmap.GetPalette(palette, 256), Ok);
    EXPECT_EQ(palette.Count, 0u);
    bitmap.SetTransColor(0);
    EXPECT_EQ(bitmap.CurErr(), Ok);
}

TEST(BitmapCreate, Scan0CopiesRowsAndChecksArguments) {
    // 3x2 24-bit rows padded to 12 bytes, blue byte first.
    std::vector<std::uint8_t> rows(24, 0);
    rows[0] = 0x10, rows[1] = 0x20, rows[2] = 0x30;           // (0,0)
    rows[12 + 6] = 0xFF, rows[12 + 7] = 0, rows[12 + 8] = 0;  // (2,1) blue
    cBitmap bitmap;
    ASSERT_EQ(bitmap.CreateFromScan0(3, 2, 12, PixelFormat24bppRGB, rows.data()), Ok);
    rows.assign(rows.size(), 0xEE);  // the bitmap holds its own copy
    EXPECT_EQ(bitmap.PixelFormat(), PixelFormat24bppRGB);
    EXPECT_EQ(bitmap.Width(), 3);
    const toolkit::PicturePtr picture = bitmap.Picture();
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->Pixels()[0], 0xFF302010u);
    EXPECT_EQ(picture->Pixels()[5], 0xFF0000FFu);

    EXPECT_EQ(bitmap.CreateFromScan0(3, 2, 9, PixelFormat24bppRGB, rows.data()), InvalidParameter);
    EXPECT_EQ(bitmap.CreateFromScan0(0, 2, 12, PixelFormat24bppRGB, nullptr), InvalidParameter);
    EXPECT_EQ(bitmap.CreateFromScan0(2, 2, 8, 0x12345, nullptr), InvalidParameter);
    EXPECT_EQ(bitmap.CreateFromScan0(20000, 2, 0, PixelFormat32bppARGB, nullptr), OutOfMemory);
    EXPECT_EQ(bitmap.CreateFromScan0(4, 4, 0, PixelFormat8bppIndexed, nullptr), Ok);
    EXPECT_EQ(bitmap.PixelFormat(), PixelFormat8bppIndexed);
}

TEST(BitmapCreate, FromPictureRoundTripsAndSaves) {
    testing::TempFolder dir;
    const toolkit::Picture source(2, 1, {0xFFFF0000u, 0x00000000u}, "made");
    cBitmap bitmap;
    ASSERT_EQ(bitmap.CreateFromHBitmap(source), Ok);
    EXPECT_EQ(bitmap.Width(), 2);
    EXPECT_EQ(bitmap.PixelFormat(), PixelFormat32bppARGB);
    EXPECT_EQ(bitmap.CreateFromHBitmap(toolkit::Picture()), InvalidParameter);

    for (const char* name : {"out.png", "out.bmp"}) {
        const Clsid encoder =
            std::string(name).ends_with("png") ? cBitmap::kPngEncoder : cBitmap::kBmpEncoder;
        ASSERT_EQ(bitmap.SaveToFile(dir.File(name), encoder, nullptr), Ok) << name;
        cBitmap again;
        ASSERT_EQ(again.LoadFromFile(dir.File(name)), Ok) << name;
        const toolkit::PicturePtr picture = again.Picture();
        ASSERT_NE(picture, nullptr);
        EXPECT_EQ(picture->Pixels(), (std::vector<std::uint32_t>{0xFFFF0000u, 0xFF000000u}))
            << name;
    }
    const Clsid unknown{};
    EXPECT_EQ(bitmap.SaveToFile(dir.File("x.xyz"), unknown, nullptr), InvalidParameter);
    EXPECT_EQ(bitmap.SaveToFile(dir.File("no/such/dir.png"), cBitmap::kPngEncoder, nullptr),
              Win32Error);
    EXPECT_EQ(bitmap.UnlockBits(nullptr), NotImplemented);
}

}  // namespace
}  // namespace kavro::imaging
