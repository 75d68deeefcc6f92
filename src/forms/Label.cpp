#include "forms/Label.h"

#include <utility>

#include "text/FontEngine.h"

namespace kavro::toolkit {

void Label::SetCaption(std::string caption) {
    caption_ = std::move(caption);
    Fit();
}

bool Label::SetFontSize(float points) {
    if (!FontEngine::IsValidSize(points)) return false;
    if (points == font_size_ && Fitted()) return true;
    font_size_ = points;
    Fit();
    return true;
}

void Label::SetCaptionAtSize(std::string caption, std::optional<float> points) {
    if (points && FontEngine::IsValidSize(*points)) font_size_ = *points;
    caption_ = std::move(caption);
    Fit();
}

void Label::SetAutoSize(bool on) {
    if (on == auto_size_ && (!on || Fitted())) return;
    auto_size_ = on;
    Fit();
}

void Label::Fit() {
    if (!auto_size_ || fonts_ == nullptr) return;
    // An empty caption still measures one line high, as an auto-sized label keeps its height.
    const FontEngine::TextExtent size = fonts_->TextSize(caption_, font_size_);
    Width = fitted_width_ = size.width;
    Height = fitted_height_ = size.height;
}

}  // namespace kavro::toolkit
