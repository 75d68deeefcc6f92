#pragma once

#include <optional>
#include <string>

#include "forms/Control.h"

namespace kavro::toolkit {

class FontEngine;

// A text label in the window's font face. Transparent: what lies behind it shows through.
class Label : public Control {
  public:
    explicit Label(const FontEngine* fonts = nullptr) : fonts_(fonts) {}

    const std::string& Caption() const { return caption_; }
    void SetCaption(std::string caption);
    float FontSize() const { return font_size_; }
    // Refuses (returns false, nothing changes) a size the font engine cannot give.
    bool SetFontSize(float points);
    // Both at once, as SetFontSize then SetCaption, with one measurement instead of two.
    // Without a size, or with one SetFontSize refuses, the label keeps its size.
    void SetCaptionAtSize(std::string caption, std::optional<float> points);
    bool AutoSize() const { return auto_size_; }
    // With AutoSize on, Width and Height are the caption's size on one line at once.
    void SetAutoSize(bool on);

    long ForeColor = 0xFFFFFF;  // red + 256 * green + 65536 * blue
    int BorderStyle = 0;        // 0 none, 1 fixed single

  private:
    void Fit();
    // Whether Width and Height still hold the size the last fit gave: setting what the label
    // already has then needs no new measurement.
    bool Fitted() const {
        return auto_size_ && fonts_ != nullptr && Width == fitted_width_ &&
               Height == fitted_height_;
    }

    const FontEngine* fonts_;
    std::string caption_;
    float font_size_ = 12.0f;
    bool auto_size_ = false;
    float fitted_width_ = -1;
    float fitted_height_ = -1;
};

}  // namespace kavro::toolkit
