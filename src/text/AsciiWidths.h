#pragma once

#include <array>
#include <optional>
#include <string_view>
#include <vector>

#include <SDL_ttf.h>

namespace kavro::toolkit {

// The width TTF_SizeUTF8 gives a line of printable ASCII in one SDL_ttf font, added up from
// each character's own metrics instead of shaping the whole line again. Shaping is most of the
// cost of measuring, and a face whose layout tables never act on ASCII glyphs shapes every
// ASCII character alike wherever it stands: each is its nominal glyph at its own advance. The
// sum is SDL_ttf's own bounding box over those glyphs (the ink of each glyph, and the pen
// position after the last one), so the widths are the same to the pixel.
// Each character is checked against TTF_SizeUTF8 when it is first met, doubled; a character
// that does not add up turns the table off, and the font is then asked every time.
class AsciiWidths {
  public:
    // Whether the face in these bytes shapes ASCII context-free as SDL_ttf shapes it (left to
    // right, no script, no language): every printable ASCII character has a glyph, no
    // substitution or positioning lookup SDL_ttf's shaping applies takes an ASCII glyph as
    // input, none of them is a mark, and there is no kerning or AAT table.
    static bool FaceAllows(const std::vector<unsigned char>& bytes, int index);

    // For a font of a face FaceAllows; a table made with allowed false never answers.
    explicit AsciiWidths(bool allowed) : usable_(allowed) {}

    // The width of a line of printable ASCII (0x20..0x7E) in font, or nothing when the font has
    // to be asked (another character, or the table is off).
    std::optional<int> Width(TTF_Font* font, std::string_view line);

    bool Usable() const { return usable_; }

  private:
    static constexpr int kFirst = 0x20, kLast = 0x7E;
    struct Glyph {
        int minx = 0;  // ink from the pen position, in pixels
        int maxx = 0;
        int advance = 0;  // whole pixels, as hinted advances are
        bool known = false;
    };
    bool Learn(TTF_Font* font, char c, Glyph& g);
    // What the bounding box of the line comes to from the glyphs learnt.
    int Sum(std::string_view line) const;

    std::array<Glyph, kLast - kFirst + 1> glyphs_{};
    bool usable_;
};

}  // namespace kavro::toolkit
