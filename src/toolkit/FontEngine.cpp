#include "toolkit/FontEngine.h"

#include <SDL.h>
#include <SDL_ttf.h>
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <utility>
#include <vector>

#include "toolkit/LruCache.h"

namespace kavro::toolkit {

namespace {

constexpr std::size_t kMaxOpenSizes = 64;
constexpr std::size_t kMaxMeasurements = 16384;
// Longer texts are measured every time rather than kept, so the cache stays small.
constexpr std::size_t kMaxCachedText = 4096;
constexpr unsigned kDpi = 96;
// A font file larger than this is not a font the window should load.
constexpr std::streamoff kMaxFontFileBytes = 64LL * 1024 * 1024;

// SDL_ttf counts its initialisations since 2.0.18, so every engine holds one of its own.
class TtfInitGuard {
  public:
    TtfInitGuard() : ok_(TTF_Init() == 0) {}
    ~TtfInitGuard() {
        if (ok_) TTF_Quit();
    }
    TtfInitGuard(const TtfInitGuard&) = delete;
    TtfInitGuard& operator=(const TtfInitGuard&) = delete;
    bool Ok() const { return ok_ && TTF_WasInit() > 0; }

  private:
    bool ok_;
};

struct TtfFontCloser {
    void operator()(TTF_Font* f) const { TTF_CloseFont(f); }
};
using TtfFontPtr = std::unique_ptr<TTF_Font, TtfFontCloser>;

struct FcConfigDeleter {
    void operator()(FcConfig* c) const { FcConfigDestroy(c); }
};
struct FcPatternDeleter {
    void operator()(FcPattern* p) const { FcPatternDestroy(p); }
};
using FcPatternPtr = std::unique_ptr<FcPattern, FcPatternDeleter>;

struct FontMatch {
    std::string file;
    std::string family;
    int index = 0;
};

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::optional<FontMatch> MatchFont(FcConfig* config, const std::string& family, bool monospace) {
    FcPatternPtr pattern(FcPatternCreate());
    if (!pattern) return std::nullopt;
    FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(pattern.get(), FC_WEIGHT, FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern.get(), FC_SLANT, FC_SLANT_ROMAN);
    if (monospace) FcPatternAddInteger(pattern.get(), FC_SPACING, FC_MONO);
    if (!FcConfigSubstitute(config, pattern.get(), FcMatchPattern)) return std::nullopt;
    FcDefaultSubstitute(pattern.get());
    FcResult result = FcResultNoMatch;
    FcPatternPtr match(FcFontMatch(config, pattern.get(), &result));
    if (!match || result != FcResultMatch) return std::nullopt;
    FcChar8* file = nullptr;
    FcChar8* fam = nullptr;
    if (FcPatternGetString(match.get(), FC_FILE, 0, &file) != FcResultMatch || !file)
        return std::nullopt;
    FontMatch out;
    out.file = reinterpret_cast<const char*>(file);
    if (FcPatternGetString(match.get(), FC_FAMILY, 0, &fam) == FcResultMatch && fam)
        out.family = reinterpret_cast<const char*>(fam);
    int index = 0;
    if (FcPatternGetInteger(match.get(), FC_INDEX, 0, &index) == FcResultMatch) out.index = index;
    return out;
}

std::optional<std::vector<unsigned char>> ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size <= 0 || size > kMaxFontFileBytes) return std::nullopt;
    in.seekg(0, std::ios::beg);
    std::vector<unsigned char> data(static_cast<std::size_t>(size));
    if (!in.read(reinterpret_cast<char*>(data.data()), size)) return std::nullopt;
    return data;
}

// The whole point size SDL_ttf is asked for.
int WholePoints(float points) {
    if (!std::isfinite(points)) return 12;
    const float clamped = std::clamp(points, FontEngine::kMinSize, FontEngine::kMaxSize);
    return static_cast<int>(std::lround(clamped));
}

struct MeasureKey {
    int points;
    std::string text;
    bool operator==(const MeasureKey&) const = default;
};
struct MeasureKeyHash {
    std::size_t operator()(const MeasureKey& k) const {
        return std::hash<std::string>()(k.text) * 31u + static_cast<std::size_t>(k.points);
    }
};
struct Extent {
    int width = 0;
    int lines = 1;
};

}  // namespace

struct FontEngine::Impl {
    // Member order matters: fonts close before their memory goes and before TTF_Quit.
    TtfInitGuard ttf;
    std::string file;
    std::string family;
    int face_index = 0;
    std::vector<unsigned char> data;
    mutable LruCache<int, TtfFontPtr> fonts{kMaxOpenSizes};
    mutable LruCache<MeasureKey, Extent, MeasureKeyHash> measures{kMaxMeasurements};

    TTF_Font* Font(int points) const {
        if (TtfFontPtr* cached = fonts.Find(points)) return cached->get();
        SDL_RWops* rw = SDL_RWFromConstMem(data.data(), static_cast<int>(data.size()));
        if (!rw) return nullptr;
        TtfFontPtr font(TTF_OpenFontIndexDPIRW(rw, 1, points, face_index, kDpi, kDpi));
        if (!font) return nullptr;
        return fonts.Put(points, std::move(font)).get();
    }

    Extent Measure(std::string_view utf8, int points) const {
        const bool cacheable = utf8.size() <= kMaxCachedText;
        MeasureKey key{points, cacheable ? std::string(utf8) : std::string()};
        if (cacheable)
            if (const Extent* hit = measures.Find(key)) return *hit;
        Extent e;
        TTF_Font* font = Font(points);
        std::string line;
        auto flush = [&] {
            int w = 0, h = 0;
            if (font && !line.empty() && TTF_SizeUTF8(font, line.c_str(), &w, &h) == 0)
                e.width = std::max(e.width, w);
            line.clear();
        };
        for (char c : utf8) {
            const auto u = static_cast<unsigned char>(c);
            if (c == '\n') {
                flush();
                ++e.lines;
            } else if (u >= 0x20 && u != 0x7F) {
                line.push_back(c);
            }
        }
        flush();
        if (cacheable) measures.Put(std::move(key), e);
        return e;
    }

    int LineHeight(int points) const {
        TTF_Font* font = Font(points);
        return font ? TTF_FontHeight(font) : 0;
    }
};

FontEngine::FontEngine(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
FontEngine::FontEngine(PassKey, std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
FontEngine::~FontEngine() = default;

std::unique_ptr<FontEngine> FontEngine::Create(const std::string& family, std::string* error) {
    auto fail = [error](std::string why) -> std::unique_ptr<FontEngine> {
        if (error) *error = std::move(why);
        return nullptr;
    };
    auto impl = std::make_unique<Impl>();
    if (!impl->ttf.Ok()) return fail(std::string("cannot start SDL_ttf: ") + TTF_GetError());

    std::unique_ptr<FcConfig, FcConfigDeleter> config(FcInitLoadConfigAndFonts());
    if (!config) return fail("cannot load the fontconfig configuration");

    // The named family when it is installed; otherwise a monospace face, so text
    // measurement keeps the fixed-pitch arithmetic the layout relies on.
    std::optional<FontMatch> match = MatchFont(config.get(), family, false);
    if (!match || !EqualsIgnoreCase(match->family, family)) {
        std::optional<FontMatch> fallback = MatchFont(config.get(), "DejaVu Sans Mono", true);
        if (!fallback || !EqualsIgnoreCase(fallback->family, "DejaVu Sans Mono"))
            fallback = MatchFont(config.get(), "monospace", true);
        if (fallback) match = fallback;
    }
    if (!match) return fail("no font found for \"" + family + "\" nor a monospace face");

    auto data = ReadWholeFile(match->file);
    if (!data) return fail("cannot read the font file " + match->file);
    impl->file = match->file;
    impl->family = match->family;
    impl->face_index = match->index;
    impl->data = std::move(*data);
    if (!impl->Font(12))
        return fail("cannot open the font file " + impl->file + ": " + TTF_GetError());
    return std::make_unique<FontEngine>(PassKey{}, std::move(impl));
}

const std::string& FontEngine::FontFile() const {
    return impl_->file;
}
const std::string& FontEngine::FamilyName() const {
    return impl_->family;
}

bool FontEngine::IsValidSize(float points) {
    return std::isfinite(points) && points >= kMinSize && points <= kMaxSize;
}

int FontEngine::WidthPixels(std::string_view utf8, float points) const {
    return impl_->Measure(utf8, WholePoints(points)).width;
}

int FontEngine::HeightPixels(std::string_view utf8, float points) const {
    const int whole = WholePoints(points);
    return impl_->LineHeight(whole) * impl_->Measure(utf8, whole).lines;
}

float FontEngine::TextWidth(std::string_view utf8, float points) const {
    return static_cast<float>(WidthPixels(utf8, points)) * 15.0f;
}

float FontEngine::TextHeight(std::string_view utf8, float points) const {
    return static_cast<float>(HeightPixels(utf8, points)) * 15.0f;
}

void* FontEngine::TtfFont(float points) const {
    return impl_->Font(WholePoints(points));
}

}  // namespace kavro::toolkit
