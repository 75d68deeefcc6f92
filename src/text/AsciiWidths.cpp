#include "text/AsciiWidths.h"

#include <hb-ot.h>
#include <hb.h>

#include <algorithm>
#include <climits>
#include <memory>

#include "base/Deleter.h"

namespace kavro::toolkit {

namespace {

using SetPtr = base::Owned<hb_set_t, hb_set_destroy>;

bool HasTable(hb_face_t* face, const char* tag) {
    hb_blob_t* table = hb_face_reference_table(face, hb_tag_from_string(tag, 4));
    const bool has = hb_blob_get_length(table) > 0;
    hb_blob_destroy(table);
    return has;
}

// Whether a lookup of the plan may take one of these glyphs as input.
bool AnyLookupTakes(hb_face_t* face, hb_shape_plan_t* plan, hb_tag_t table, hb_set_t* glyphs) {
    SetPtr lookups(hb_set_create());
    hb_ot_shape_plan_collect_lookups(plan, table, lookups.get());
    for (hb_codepoint_t lookup = HB_SET_VALUE_INVALID; hb_set_next(lookups.get(), &lookup);) {
        SetPtr input(hb_set_create());
        hb_ot_layout_lookup_collect_glyphs(face, table, lookup, nullptr, input.get(), nullptr,
                                           nullptr);
        hb_set_intersect(input.get(), glyphs);
        if (!hb_set_is_empty(input.get())) return true;
    }
    return false;
}

}  // namespace

bool AsciiWidths::FaceAllows(const std::vector<unsigned char>& bytes, int index) {
    if (bytes.empty() || bytes.size() > UINT_MAX || index < 0) return false;
    base::Owned<hb_blob_t, hb_blob_destroy> blob(hb_blob_create(
        reinterpret_cast<const char*>(bytes.data()), static_cast<unsigned>(bytes.size()),
        HB_MEMORY_MODE_READONLY, nullptr, nullptr));
    base::Owned<hb_face_t, hb_face_destroy> face(
        hb_face_create(blob.get(), static_cast<unsigned>(index)));
    base::Owned<hb_font_t, hb_font_destroy> font(hb_font_create(face.get()));
    if (hb_face_get_glyph_count(face.get()) == 0) return false;
    // Kerning outside GPOS, and Apple's layout tables, act on glyph pairs and sequences.
    for (const char* tag : {"kern", "kerx", "morx", "mort", "trak"})
        if (HasTable(face.get(), tag)) return false;
    SetPtr ascii(hb_set_create());
    for (hb_codepoint_t c = kFirst; c <= kLast; ++c) {
        hb_codepoint_t glyph = 0;
        if (!hb_font_get_nominal_glyph(font.get(), c, &glyph) || glyph == 0) return false;
        // A mark is placed on the glyph before it.
        if (hb_ot_layout_get_glyph_class(face.get(), glyph) == HB_OT_LAYOUT_GLYPH_CLASS_MARK)
            return false;
        hb_set_add(ascii.get(), glyph);
    }
    // SDL_ttf shapes with the font's direction and script and no language: left to right and
    // no script unless a segment asks for one, which ASCII lines never do.
    hb_segment_properties_t props = HB_SEGMENT_PROPERTIES_DEFAULT;
    props.direction = HB_DIRECTION_LTR;
    props.script = HB_SCRIPT_UNKNOWN;
    props.language = HB_LANGUAGE_INVALID;
    base::Owned<hb_shape_plan_t, hb_shape_plan_destroy> plan(
        hb_shape_plan_create_cached(face.get(), &props, nullptr, 0, nullptr));
    if (!plan) return false;
    return !AnyLookupTakes(face.get(), plan.get(), HB_OT_TAG_GSUB, ascii.get()) &&
           !AnyLookupTakes(face.get(), plan.get(), HB_OT_TAG_GPOS, ascii.get());
}

std::optional<int> AsciiWidths::Width(TTF_Font* font, std::string_view line) {
    if (!usable_ || !font) return std::nullopt;
    for (char c : line) {
        const auto u = static_cast<unsigned char>(c);
        if (u < kFirst || u > kLast) return std::nullopt;
        Glyph& g = glyphs_[u - kFirst];
        if (!g.known && !Learn(font, c, g)) {
            usable_ = false;
            return std::nullopt;
        }
    }
    return Sum(line);
}

bool AsciiWidths::Learn(TTF_Font* font, char c, Glyph& g) {
    int minx = 0, maxx = 0, miny = 0, maxy = 0, advance = 0;
    if (TTF_GlyphMetrics32(font, static_cast<unsigned char>(c), &minx, &maxx, &miny, &maxy,
                           &advance) != 0)
        return false;
    g.minx = minx;
    g.maxx = maxx;
    g.advance = advance;
    g.known = true;
    // The ink comes from the same glyph cache SDL_ttf measures with; the advance is rounded up
    // to a pixel, while the shaper places the second glyph at the advance itself. The doubled
    // character adds up only when that advance is the whole pixels taken: an advance short of
    // them puts the second glyph's ink, or the pen after it, a pixel further left.
    const char doubled[3] = {c, c, '\0'};
    int w = 0, h = 0;
    return TTF_SizeUTF8(font, doubled, &w, &h) == 0 && w == Sum(std::string_view(doubled, 2));
}

int AsciiWidths::Sum(std::string_view line) const {
    // SDL_ttf's bounding box: the ink of every glyph at its pen position, and the pen position
    // after the last glyph (so that blanks count).
    int x = 0, left = 0, right = 0;
    for (char c : line) {
        const Glyph& g = glyphs_[static_cast<unsigned char>(c) - kFirst];
        left = std::min(left, x + g.minx);
        right = std::max(right, x + g.maxx);
        x += g.advance;
    }
    right = std::max(right, x);
    return right - left;
}

}  // namespace kavro::toolkit
