#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kavro::toolkit {

// The font face of the window, at any point size: measurement and glyph rendering.
// The face is found through fontconfig ("Consolas", else a monospace face); the file is read
// once and every size is served from memory. Results are cached per size, so fitting loops
// that measure thousands of times stay cheap. Sizes are points at 96 dots per inch.
// Characters the face lacks (Japanese, Chinese, Korean, many symbols) are measured and drawn
// with a fallback face that fontconfig ranks for it; a line then consists of segments, one
// per font, placed side by side on one baseline.
class FontEngine {
    struct PassKey {
        explicit PassKey() = default;
    };

  public:
    static constexpr float kMinSize = 1.0f;
    static constexpr float kMaxSize = 500.0f;

    // Fails (nullptr, with the reason in *error) when no usable font file can be found.
    static std::unique_ptr<FontEngine> Create(const std::string& family, std::string* error);
    ~FontEngine();
    FontEngine(const FontEngine&) = delete;
    FontEngine& operator=(const FontEngine&) = delete;

    const std::string& FontFile() const;
    const std::string& FamilyName() const;

    // True when the size lies within [kMinSize, kMaxSize]; other sizes are refused.
    static bool IsValidSize(float points);
    // Widest line of the text, and height of all its lines, in pixels.
    int WidthPixels(std::string_view utf8, float points) const;
    int HeightPixels(std::string_view utf8, float points) const;
    // The same in twips (15 per pixel).
    float TextWidth(std::string_view utf8, float points) const;
    float TextHeight(std::string_view utf8, float points) const;
    // Both at once, with one measurement.
    struct TextExtent {
        float width = 0;
        float height = 0;
    };
    TextExtent TextSize(std::string_view utf8, float points) const;

    // For the renderer: the SDL_ttf font at this size (TTF_Font*), owned by the engine.
    void* TtfFont(float points) const;

    // A piece of one line drawn with one font and one direction.
    struct Segment {
        void* font = nullptr;   // TTF_Font*, owned by the engine
        std::size_t begin = 0;  // byte range within the line
        std::size_t length = 0;
        int x = 0;  // left edge in pixels from the start of the line
        int width = 0;
        int ascent = 0;  // the font's ascent in pixels
        bool right_to_left = false;
        const char* script = "Zzzz";  // ISO 15924 tag for shaping; Zzzz lets the shaper guess
    };
    // The segments of one line without control characters, left to right as drawn. The
    // fonts stay valid until the engine measures or opens another size.
    std::vector<Segment> Segments(std::string_view line, float points) const;

    struct LineMetrics {
        int height = 0;  // height of every line of the text
        int ascent = 0;  // distance from a line's top to the common baseline
        bool operator==(const LineMetrics&) const = default;
    };
    // Over every font the text uses, so that mixed lines share one baseline and height.
    LineMetrics Metrics(std::string_view utf8, float points) const;
    // Whether SDL_ttf shapes text (right-to-left scripts, combining marks).
    bool Shapes() const;
    // Whether ASCII text in the main face is measured by adding up its glyphs' widths (see
    // AsciiWidths): a face whose shaping leaves ASCII alone.
    bool AddsUpAscii() const;

    // Gives a segment's font the segment's direction and script while it is measured or
    // drawn, and the defaults back afterwards: the font is shared by every text of its size.
    class ShapingScope {
      public:
        explicit ShapingScope(const Segment& segment);
        ~ShapingScope();
        ShapingScope(const ShapingScope&) = delete;
        ShapingScope& operator=(const ShapingScope&) = delete;

      private:
        void* font_ = nullptr;
    };

    struct Impl;

  public:
    // Only Create can make the key.
    FontEngine(PassKey, std::unique_ptr<Impl> impl);

  private:
    explicit FontEngine(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

}  // namespace kavro::toolkit
