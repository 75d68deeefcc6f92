#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace kavro::toolkit {

// The one font face of the window, at any point size: measurement and glyph rendering.
// The face is found through fontconfig ("Consolas", else a monospace face); the file is read
// once and every size is served from memory. Results are cached per size, so fitting loops
// that measure thousands of times stay cheap. Sizes are points at 96 dots per inch.
class FontEngine {
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

    // For the renderer: the SDL_ttf font at this size (TTF_Font*), owned by the engine.
    void* TtfFont(float points) const;

    struct Impl;

  private:
    struct PassKey {
        explicit PassKey() = default;
    };

  public:
    // Only Create can make the key.
    FontEngine(PassKey, std::unique_ptr<Impl> impl);

  private:
    explicit FontEngine(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

}  // namespace kavro::toolkit
