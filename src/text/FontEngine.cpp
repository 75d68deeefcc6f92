#include "text/FontEngine.h"

#include <SDL_ttf.h>
#include <fontconfig/fontconfig.h>
#include <fribidi.h>
#include <hb.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <unordered_map>
#include <utility>
#include <vector>

#include "base/Deleter.h"
#include "base/Strings.h"
#include "base/Twips.h"
#include "base/Utf8.h"
#include "text/AsciiWidths.h"
#include "text/LruCache.h"

namespace kavro::toolkit {

namespace {

constexpr std::size_t kMaxOpenSizes = 64;
constexpr std::size_t kMaxMeasurements = 16384;
// Longer texts are measured every time rather than kept, so the cache stays small.
constexpr std::size_t kMaxCachedText = 4096;
constexpr unsigned kDpi = 96;
// A font file larger than this is not a font the window should load.
constexpr std::streamoff kMaxFontFileBytes = 64LL * 1024 * 1024;
// Fallback faces: the fonts fontconfig ranks, the faces read into memory and what they
// may take together, and the sizes each keeps open.
constexpr std::size_t kMaxFallbackCandidates = 128;
constexpr std::size_t kMaxFallbackFaces = 16;
constexpr std::size_t kMaxFallbackSizes = 16;
// Which face draws a code point, remembered for this many code points.
constexpr std::size_t kMaxGlyphChoices = 8192;
// A line is split into at most this many segments; the rest joins the last one.
constexpr std::size_t kMaxSegments = 4096;
constexpr int kMainFace = -1;
constexpr const char* kAnyScript = "Zzzz";

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
    bool ok_ = false;
};

using TtfFontPtr = base::Owned<TTF_Font, TTF_CloseFont>;

using FcPatternPtr = base::Owned<FcPattern, FcPatternDestroy>;
using FcCharSetPtr = base::Owned<FcCharSet, FcCharSetDestroy>;
using FcConfigPtr = base::Owned<FcConfig, FcConfigDestroy>;

struct FontMatch {
    std::string file;
    std::string family;
    int index = 0;
};

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

// One character of a line at a time; a malformed byte reads as U+FFFD on its own.
char32_t NextCodePoint(std::string_view s, std::size_t* pos) {
    const std::optional<base::Utf8Char> c = base::DecodeUtf8(s.substr(*pos));
    *pos += c ? c->length : 1;
    return c ? c->code : 0xFFFD;
}

bool IsAscii(std::string_view s) {
    return std::all_of(s.begin(), s.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Opens the face in bytes at a size; the bytes outlive the font.
TtfFontPtr OpenFromMemory(const std::vector<unsigned char>& bytes, int index, int points) {
    SDL_RWops* rw = SDL_RWFromConstMem(bytes.data(), static_cast<int>(bytes.size()));
    if (!rw) return nullptr;
    return TtfFontPtr(TTF_OpenFontIndexDPIRW(rw, 1, points, index, kDpi, kDpi));
}

bool InRange(char32_t c, char32_t lo, char32_t hi) {
    return c >= lo && c <= hi;
}

// HarfBuzz's Unicode data, the tables the shaper itself uses, for categories and scripts;
// FriBidi's for the bidirectional class, which HarfBuzz does not give.
hb_unicode_funcs_t* UnicodeData() {
    return hb_unicode_funcs_get_default();
}

bool IsMarkCategory(hb_unicode_general_category_t category) {
    return category == HB_UNICODE_GENERAL_CATEGORY_NON_SPACING_MARK ||
           category == HB_UNICODE_GENERAL_CATEGORY_SPACING_MARK ||
           category == HB_UNICODE_GENERAL_CATEGORY_ENCLOSING_MARK;
}

// What splitting a line needs to know of one character.
struct CharFacts {
    bool mark = false;  // belongs to the character before it and is shaped with it
    // Direction from the character's bidirectional class: strong right-to-left letters and
    // Arabic digits read right to left; spaces, punctuation and symbols (neutral) take the
    // direction of the text around them; the rest reads left to right.
    bool right_to_left = false;
    bool neutral = false;
    bool symbol = false;  // a neutral that is not punctuation or space
    // The script to shape with; HB_SCRIPT_UNKNOWN where the character has none of its own
    // (Common, Inherited), which lets the shaper take the one around it.
    hb_script_t script = HB_SCRIPT_UNKNOWN;
};

CharFacts FactsOf(char32_t c) {
    hb_unicode_funcs_t* data = UnicodeData();
    const hb_unicode_general_category_t category = hb_unicode_general_category(data, c);
    CharFacts facts;
    // Joiners are formatting characters, but they only mean something with their neighbour.
    facts.mark = IsMarkCategory(category) || c == 0x200C || c == 0x200D;
    hb_script_t script = hb_unicode_script(data, c);
    // Japanese writes kana and kanji in one phrase, and the three are shaped alike: one piece.
    if (script == HB_SCRIPT_HIRAGANA || script == HB_SCRIPT_KATAKANA) script = HB_SCRIPT_HAN;
    if (script != HB_SCRIPT_COMMON && script != HB_SCRIPT_INHERITED) facts.script = script;
    const FriBidiCharType type = fribidi_get_bidi_type(static_cast<FriBidiChar>(c));
    facts.right_to_left = FRIBIDI_IS_RTL(type) || type == FRIBIDI_TYPE_AN;
    facts.neutral = !FRIBIDI_IS_STRONG(type) && type != FRIBIDI_TYPE_AN && type != FRIBIDI_TYPE_EN;
    facts.symbol = category == HB_UNICODE_GENERAL_CATEGORY_MATH_SYMBOL ||
                   category == HB_UNICODE_GENERAL_CATEGORY_CURRENCY_SYMBOL ||
                   category == HB_UNICODE_GENERAL_CATEGORY_MODIFIER_SYMBOL ||
                   category == HB_UNICODE_GENERAL_CATEGORY_OTHER_SYMBOL;
    return facts;
}

// Han, kana, CJK punctuation and full-width forms: fonts made for Japanese draw these first,
// so Japanese text keeps one face rather than a mix of Chinese and Japanese glyph shapes.
// The two blocks are shared by every East Asian script, so their characters have none.
bool IsCjk(char32_t c) {
    const hb_script_t script = hb_unicode_script(UnicodeData(), c);
    return script == HB_SCRIPT_HAN || script == HB_SCRIPT_HIRAGANA ||
           script == HB_SCRIPT_KATAKANA || InRange(c, 0x3000, 0x303F) || InRange(c, 0xFF00, 0xFFEF);
}

// Latin-1 numbers and signs (fractions, superscripts, currency, degree, ...): neutral in
// direction, but glyphs of their own, which a fallback face draws at its own narrow advance
// and crams between its wide characters.
bool IsLatinSign(char32_t c) {
    switch (c) {
        case 0xA0:
        case 0xA1:
        case 0xA7:
        case 0xAB:
        case 0xAD:
        case 0xB6:
        case 0xB7:
        case 0xBB:
        case 0xBF:
            return false;  // no-break space, soft hyphen and punctuation
        default:
            return InRange(c, 0x00A0, 0x00BF);
    }
}

struct Extent {
    int width = 0;
    int lines = 1;
    int height = 0;  // of one line
    int ascent = 0;
};

struct MeasureKeyHash {
    std::size_t operator()(const std::pair<int, std::string>& key) const {
        return std::hash<std::string>()(key.second) ^
               (static_cast<std::size_t>(key.first) * 0x9E3779B97F4A7C15u);
    }
};

// Calls measure with each line of the text that has something to show, control characters
// left out (they take no room); returns the number of lines. A line without control
// characters is handed over as it lies in the text, without a copy.
template <class Measure>
int ForEachLine(std::string_view utf8, Measure measure) {
    int lines = 1;
    std::string filtered;
    while (true) {
        const std::size_t end = std::min(utf8.find('\n'), utf8.size());
        const std::string_view line = utf8.substr(0, end);
        const bool plain = std::all_of(line.begin(), line.end(), [](char c) {
            const auto u = static_cast<unsigned char>(c);
            return u >= 0x20 && u != 0x7F;
        });
        if (plain) {
            if (!line.empty()) measure(line);
        } else {
            filtered.clear();
            for (char c : line) {
                const auto u = static_cast<unsigned char>(c);
                if (u >= 0x20 && u != 0x7F) filtered.push_back(c);
            }
            if (!filtered.empty()) measure(std::string_view(filtered));
        }
        if (end == utf8.size()) return lines;
        utf8.remove_prefix(end + 1);
        ++lines;
    }
}

// A line's width comes from the font's table of ASCII widths where it has one (widths, may be
// null), else from SDL_ttf.
Extent MeasureAscii(TTF_Font* font, AsciiWidths* widths, std::string_view utf8) {
    Extent e;
    if (!font) {
        e.lines = ForEachLine(utf8, [](std::string_view) {});
        return e;
    }
    e.height = TTF_FontHeight(font);
    e.ascent = TTF_FontAscent(font);
    std::string terminated;  // SDL_ttf takes C strings
    e.lines = ForEachLine(utf8, [&](std::string_view line) {
        if (widths)
            if (const std::optional<int> w = widths->Width(font, line)) {
                e.width = std::max(e.width, *w);
                return;
            }
        terminated.assign(line);
        int w = 0, h = 0;
        if (TTF_SizeUTF8(font, terminated.c_str(), &w, &h) == 0) e.width = std::max(e.width, w);
    });
    return e;
}

// The main face at one size, with its table of ASCII widths.
struct SizedFont {
    TtfFontPtr font;
    AsciiWidths widths{false};
};

// A face fontconfig offers for characters the main face lacks.
struct Candidate {
    std::string file;
    int index = 0;
    FcCharSetPtr charset;
    int face = kMainFace;  // in Impl::faces once read
    bool unusable = false;
};

// Opened from its file at each size, so FreeType reads only the tables and glyphs it needs:
// fallback files (CJK faces) run to megabytes.
struct FallbackFace {
    std::string file;
    int index = 0;
    LruCache<int, TtfFontPtr> sizes{kMaxFallbackSizes};
};

// One character of a line while it is split into segments.
struct CharInfo {
    std::size_t begin = 0;
    std::size_t length = 0;
    int face = kMainFace;
    enum Kind { kLeft, kRight, kNeutral, kMark } kind = kLeft;
    const char* script = kAnyScript;
    bool right_to_left = false;
    bool symbol = false;
};

}  // namespace

struct FontEngine::Impl {
    // Member order matters: fonts close before their memory goes and before TTF_Quit.
    TtfInitGuard ttf;
    std::string file;
    std::string family;
    int face_index = 0;
    std::vector<unsigned char> data;
    // Whether ASCII widths may be added up from the glyphs' (AsciiWidths).
    bool ascii_alone = false;
    mutable LruCache<int, SizedFont> fonts{kMaxOpenSizes};
    // Measurements of texts whose widths are not added up, by size and text.
    mutable LruCache<std::pair<int, std::string>, Extent, MeasureKeyHash> measures{
        kMaxMeasurements};
    FcConfigPtr config;
    bool shapes = false;
    // Ranked once, when the first character the main face lacks turns up.
    mutable std::optional<std::vector<Candidate>> general_candidates;
    mutable std::optional<std::vector<Candidate>> cjk_candidates;
    mutable std::vector<std::unique_ptr<FallbackFace>> faces;
    mutable LruCache<char32_t, int> choices{kMaxGlyphChoices};
    // ISO 15924 names of the scripts met, for Segment::script; entries never move.
    mutable std::unordered_map<hb_script_t, std::array<char, 5>> script_names;

    // Every size gets a font of its own, so runs of different sizes never flush one another's
    // glyphs (a size change empties SDL_ttf's glyph cache, and FreeType hints every glyph again).
    SizedFont* Sized(int points) const {
        if (SizedFont* cached = fonts.Find(points)) return cached;
        TtfFontPtr font = OpenFromMemory(data, face_index, points);
        if (!font) return nullptr;
        return &fonts.Put(points, SizedFont{std::move(font), AsciiWidths(ascii_alone)});
    }

    TTF_Font* Font(int points) const {
        SizedFont* sized = Sized(points);
        return sized ? sized->font.get() : nullptr;
    }

    TTF_Font* FaceFont(int face, int points) const {
        if (face == kMainFace) return Font(points);
        return FaceFontOf(*faces[static_cast<std::size_t>(face)], points);
    }

    static TTF_Font* FaceFontOf(FallbackFace& f, int points) {
        if (TtfFontPtr* cached = f.sizes.Find(points)) return cached->get();
        TtfFontPtr font(TTF_OpenFontIndexDPI(f.file.c_str(), points, f.index, kDpi, kDpi));
        if (!font) return nullptr;
        return f.sizes.Put(points, std::move(font)).get();
    }

    std::vector<Candidate> RankCandidates(bool cjk) const {
        std::vector<Candidate> out;
        FcPatternPtr pattern(FcPatternCreate());
        if (!pattern || !config) return out;
        FcPatternAddString(pattern.get(), FC_FAMILY,
                           reinterpret_cast<const FcChar8*>(family.c_str()));
        FcPatternAddInteger(pattern.get(), FC_WEIGHT, FC_WEIGHT_REGULAR);
        FcPatternAddInteger(pattern.get(), FC_SLANT, FC_SLANT_ROMAN);
        if (cjk) FcPatternAddString(pattern.get(), FC_LANG, reinterpret_cast<const FcChar8*>("ja"));
        if (!FcConfigSubstitute(config.get(), pattern.get(), FcMatchPattern)) return out;
        FcDefaultSubstitute(pattern.get());
        FcResult result = FcResultNoMatch;
        base::Owned<FcFontSet, FcFontSetDestroy> set(
            FcFontSort(config.get(), pattern.get(), FcTrue, nullptr, &result));
        if (!set) return out;
        for (int i = 0; i < set->nfont && out.size() < kMaxFallbackCandidates; ++i) {
            FcPattern* font = set->fonts[i];
            FcChar8* file = nullptr;
            FcCharSet* charset = nullptr;
            FcBool scalable = FcFalse;
            int index = 0;
            if (FcPatternGetString(font, FC_FILE, 0, &file) != FcResultMatch || !file) continue;
            if (FcPatternGetCharSet(font, FC_CHARSET, 0, &charset) != FcResultMatch || !charset)
                continue;
            // Bitmap faces cannot be opened at any size.
            if (FcPatternGetBool(font, FC_SCALABLE, 0, &scalable) == FcResultMatch && !scalable)
                continue;
            FcPatternGetInteger(font, FC_INDEX, 0, &index);
            Candidate c;
            c.file = reinterpret_cast<const char*>(file);
            c.index = index;
            if (c.file == this->file && c.index == face_index) continue;
            c.charset.reset(FcCharSetCopy(charset));
            if (c.charset) out.push_back(std::move(c));
        }
        return out;
    }

    // The face index, or kMainFace when the file cannot be used or the budget is spent.
    int LoadFace(const std::string& path, int index) const {
        for (std::size_t i = 0; i < faces.size(); ++i)
            if (faces[i]->file == path && faces[i]->index == index) return static_cast<int>(i);
        if (faces.size() >= kMaxFallbackFaces) return kMainFace;
        auto face = std::make_unique<FallbackFace>();
        face->file = path;
        face->index = index;
        if (!FaceFontOf(*face, 12)) return kMainFace;
        faces.push_back(std::move(face));
        return static_cast<int>(faces.size() - 1);
    }

    int FindFallback(char32_t cp) const {
        const bool cjk = IsCjk(cp);
        auto& list = cjk ? cjk_candidates : general_candidates;
        if (!list) list = RankCandidates(cjk);
        for (Candidate& c : *list) {
            if (c.unusable || !FcCharSetHasChar(c.charset.get(), cp)) continue;
            if (c.face == kMainFace) c.face = LoadFace(c.file, c.index);
            if (c.face != kMainFace) return c.face;
            c.unusable = true;
        }
        return kMainFace;  // nothing has it: the main face's missing-glyph box
    }

    const char* ScriptName(hb_script_t script) const {
        if (script == HB_SCRIPT_UNKNOWN) return kAnyScript;
        auto [it, added] = script_names.try_emplace(script);
        if (added) hb_tag_to_string(hb_script_to_iso15924_tag(script), it->second.data());
        return it->second.data();
    }

    int FaceFor(char32_t cp, TTF_Font* main) const {
        if (const int* hit = choices.Find(cp)) return *hit;
        int face = kMainFace;
        if (!TTF_GlyphIsProvided32(main, cp)) face = FindFallback(cp);
        return choices.Put(cp, face);
    }

    std::vector<CharInfo> Classify(std::string_view line, TTF_Font* main, int points) const {
        std::vector<CharInfo> chars;
        std::size_t pos = 0;
        while (pos < line.size()) {
            CharInfo info;
            info.begin = pos;
            const char32_t cp = NextCodePoint(line, &pos);
            info.length = pos - info.begin;
            const CharFacts facts = FactsOf(cp);
            if (facts.mark && !chars.empty()) {
                info.kind = CharInfo::kMark;
                info.face = chars.back().face;
            } else {
                info.face = FaceFor(cp, main);
                info.kind = facts.right_to_left ? CharInfo::kRight
                            : facts.neutral     ? CharInfo::kNeutral
                                                : CharInfo::kLeft;
                info.script = ScriptName(facts.script);
                info.symbol = facts.symbol;
            }
            chars.push_back(info);
        }
        // Neutrals between right-to-left text read right to left; elsewhere left to right,
        // the direction of the document. Marks go with their base.
        bool next_right = false;
        std::vector<bool> right_after(chars.size(), false);
        for (std::size_t i = chars.size(); i-- > 0;) {
            right_after[i] = next_right;
            if (chars[i].kind == CharInfo::kRight) next_right = true;
            if (chars[i].kind == CharInfo::kLeft) next_right = false;
        }
        bool prev_right = false;
        for (std::size_t i = 0; i < chars.size(); ++i) {
            CharInfo& c = chars[i];
            switch (c.kind) {
                case CharInfo::kRight:
                    c.right_to_left = true;
                    break;
                case CharInfo::kLeft:
                    c.right_to_left = false;
                    break;
                case CharInfo::kNeutral:
                    c.right_to_left = prev_right && right_after[i];
                    break;
                case CharInfo::kMark:
                    c.right_to_left = i > 0 && chars[i - 1].right_to_left;
                    break;
            }
            if (c.kind == CharInfo::kRight) prev_right = true;
            if (c.kind == CharInfo::kLeft) prev_right = false;
        }
        // Spaces and punctuation inside fallback text keep its face where it has them, so
        // a phrase is shaped as one piece. Symbols (arrows, +) go to the first face that has
        // them, as everywhere else; Latin-1 signs the main face has stay in it, measured and
        // drawn at its advance.
        for (std::size_t i = 1; i < chars.size(); ++i) {
            CharInfo& c = chars[i];
            const CharInfo& prev = chars[i - 1];
            if (c.kind != CharInfo::kNeutral || c.symbol || prev.face == kMainFace ||
                c.face == prev.face || c.right_to_left != prev.right_to_left)
                continue;
            std::size_t at = c.begin;
            const char32_t cp = NextCodePoint(line, &at);
            if (c.face == kMainFace && IsLatinSign(cp)) continue;
            TTF_Font* font = FaceFont(prev.face, points);
            if (font && TTF_GlyphIsProvided32(font, cp)) c.face = prev.face;
        }
        return chars;
    }

    std::vector<Segment> SplitLine(std::string_view line, int points) const {
        std::vector<Segment> out;
        TTF_Font* main = Font(points);
        if (!main || line.empty()) return out;
        if (IsAscii(line)) {
            // The common case: one segment in the main face, no per-character work.
            Segment s;
            s.font = main;
            s.length = line.size();
            out.push_back(s);
        } else {
            std::vector<int> faces_of;
            for (const CharInfo& c : Classify(line, main, points)) {
                if (!out.empty()) {
                    Segment& last = out.back();
                    const int last_face = faces_of.back();
                    const bool script_fits = c.kind == CharInfo::kNeutral ||
                                             c.kind == CharInfo::kMark ||
                                             std::strcmp(c.script, kAnyScript) == 0 ||
                                             std::strcmp(last.script, kAnyScript) == 0 ||
                                             std::strcmp(c.script, last.script) == 0;
                    if ((last_face == c.face && last.right_to_left == c.right_to_left &&
                         script_fits) ||
                        out.size() >= kMaxSegments) {
                        last.length = c.begin + c.length - last.begin;
                        if (std::strcmp(last.script, kAnyScript) == 0 &&
                            (c.kind == CharInfo::kLeft || c.kind == CharInfo::kRight))
                            last.script = c.script;
                        continue;
                    }
                }
                Segment s;
                s.begin = c.begin;
                s.length = c.length;
                s.right_to_left = c.right_to_left;
                s.script = c.script;
                out.push_back(s);
                faces_of.push_back(c.face);
            }
            for (std::size_t i = 0; i < out.size(); ++i) {
                out[i].font = FaceFont(faces_of[i], points);
                if (!out[i].font) out[i].font = main;
            }
            // Consecutive right-to-left segments are read from the right.
            for (std::size_t i = 0; i < out.size();) {
                std::size_t j = i;
                while (j < out.size() && out[j].right_to_left)
                    ++j;
                std::reverse(out.begin() + static_cast<std::ptrdiff_t>(i),
                             out.begin() + static_cast<std::ptrdiff_t>(j));
                i = j == i ? i + 1 : j;
            }
        }
        int x = 0;
        std::string piece;
        for (Segment& s : out) {
            auto* font = static_cast<TTF_Font*>(s.font);
            piece.assign(line.substr(s.begin, s.length));
            int w = 0, h = 0;
            {
                ShapingScope shaping(s);
                if (TTF_SizeUTF8(font, piece.c_str(), &w, &h) != 0) w = 0;
            }
            s.x = x;
            s.width = w;
            s.ascent = TTF_FontAscent(font);
            x += w;
        }
        return out;
    }

    // One decision: ASCII text in a face that allows it is added up from the glyphs' widths,
    // which costs less than a look-up and is not kept; everything else is measured by SDL_ttf
    // and kept, unless it is too long to keep.
    Extent Measure(std::string_view utf8, int points) const {
        SizedFont* sized = Sized(points);
        TTF_Font* font = sized ? sized->font.get() : nullptr;
        const bool ascii = IsAscii(utf8);
        if (ascii && sized && sized->widths.Usable()) {
            const Extent e = MeasureAscii(font, &sized->widths, utf8);
            if (sized->widths.Usable()) return e;  // else a glyph did not add up: asked again
        }
        const bool cacheable = utf8.size() <= kMaxCachedText;
        std::pair<int, std::string> key;
        if (cacheable) {
            key = {points, std::string(utf8)};
            if (const Extent* hit = measures.Find(key)) return *hit;
        }
        const Extent e = ascii ? MeasureAscii(font, nullptr, utf8) : MeasureMixed(utf8, points);
        if (cacheable) measures.Put(key, e);
        return e;
    }

    // Text with characters from other faces: split against the main face at this size.
    Extent MeasureMixed(std::string_view utf8, int points) const {
        Extent e;
        TTF_Font* font = Font(points);
        int descent = 0;
        bool other_faces = false;
        if (font) {
            e.height = TTF_FontHeight(font);
            e.ascent = TTF_FontAscent(font);
            descent = -TTF_FontDescent(font);
        }
        std::string terminated;  // SDL_ttf takes C strings
        e.lines = ForEachLine(utf8, [&](std::string_view line) {
            if (!font) return;
            int w = 0, h = 0;
            if (IsAscii(line)) {
                terminated.assign(line);
                if (TTF_SizeUTF8(font, terminated.c_str(), &w, &h) == 0)
                    e.width = std::max(e.width, w);
                return;
            }
            for (const Segment& s : SplitLine(line, points)) {
                auto* f = static_cast<TTF_Font*>(s.font);
                w += s.width;
                if (f == font) continue;
                other_faces = true;
                e.height = std::max(e.height, TTF_FontHeight(f));
                e.ascent = std::max(e.ascent, TTF_FontAscent(f));
                descent = std::max(descent, -TTF_FontDescent(f));
            }
            e.width = std::max(e.width, w);
        });
        // Glyphs of a taller face must not reach past the line below the common baseline.
        if (other_faces) e.height = std::max(e.height, e.ascent + descent);
        return e;
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

    impl->config.reset(FcInitLoadConfigAndFonts());
    FcConfig* config = impl->config.get();
    if (!config) return fail("cannot load the fontconfig configuration");

    // The named family when it is installed; otherwise a monospace face, so text
    // measurement keeps the fixed-pitch arithmetic the layout relies on.
    std::optional<FontMatch> match = MatchFont(config, family, false);
    if (!match || !base::EqualsIgnoringCase(match->family, family)) {
        std::optional<FontMatch> fallback = MatchFont(config, "DejaVu Sans Mono", true);
        if (!fallback || !base::EqualsIgnoringCase(fallback->family, "DejaVu Sans Mono"))
            fallback = MatchFont(config, "monospace", true);
        if (fallback) match = fallback;
    }
    if (!match) return fail("no font found for \"" + family + "\" nor a monospace face");

    auto data = ReadWholeFile(match->file);
    if (!data) return fail("cannot read the font file " + match->file);
    impl->file = match->file;
    impl->family = match->family;
    impl->face_index = match->index;
    impl->data = std::move(*data);
    impl->ascii_alone = AsciiWidths::FaceAllows(impl->data, impl->face_index);
    TTF_Font* probe = impl->Font(12);
    if (!probe) return fail("cannot open the font file " + impl->file + ": " + TTF_GetError());
    // Without HarfBuzz SDL_ttf refuses a direction; text is then drawn unshaped.
    impl->shapes = TTF_SetFontDirection(probe, TTF_DIRECTION_LTR) == 0;
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
    const Extent e = impl_->Measure(utf8, WholePoints(points));
    return e.height * e.lines;
}

float FontEngine::TextWidth(std::string_view utf8, float points) const {
    return static_cast<float>(WidthPixels(utf8, points)) * base::kTwipsPerPixel;
}

float FontEngine::TextHeight(std::string_view utf8, float points) const {
    return static_cast<float>(HeightPixels(utf8, points)) * base::kTwipsPerPixel;
}

FontEngine::TextExtent FontEngine::TextSize(std::string_view utf8, float points) const {
    const Extent e = impl_->Measure(utf8, WholePoints(points));
    return {static_cast<float>(e.width) * base::kTwipsPerPixel,
            static_cast<float>(e.height * e.lines) * base::kTwipsPerPixel};
}

void* FontEngine::TtfFont(float points) const {
    return impl_->Font(WholePoints(points));
}

std::vector<FontEngine::Segment> FontEngine::Segments(std::string_view line, float points) const {
    return impl_->SplitLine(line, WholePoints(points));
}

FontEngine::LineMetrics FontEngine::Metrics(std::string_view utf8, float points) const {
    const Extent e = impl_->Measure(utf8, WholePoints(points));
    return {e.height, e.ascent};
}

bool FontEngine::Shapes() const {
    return impl_->shapes;
}

bool FontEngine::AddsUpAscii() const {
    return impl_->ascii_alone;
}

FontEngine::ShapingScope::ShapingScope(const Segment& segment) {
    if (!segment.font) return;
    if (!segment.right_to_left && std::strcmp(segment.script, kAnyScript) == 0) return;
    auto* font = static_cast<TTF_Font*>(segment.font);
    if (TTF_SetFontDirection(font, segment.right_to_left ? TTF_DIRECTION_RTL : TTF_DIRECTION_LTR) !=
        0)
        return;
    TTF_SetFontScriptName(font, segment.script);
    font_ = font;
}

FontEngine::ShapingScope::~ShapingScope() {
    if (!font_) return;
    auto* font = static_cast<TTF_Font*>(font_);
    TTF_SetFontDirection(font, TTF_DIRECTION_LTR);
    TTF_SetFontScriptName(font, kAnyScript);
}

}  // namespace kavro::toolkit
