#include "toolkit/Label.h"

#include <utility>

#include "toolkit/FontEngine.h"

namespace kavro::toolkit {

void Label::SetCaption(std::string caption) {
    caption_ = std::move(caption);
    Fit();
}

bool Label::SetFontSize(float points) {
    if (!FontEngine::IsValidSize(points)) return false;
    font_size_ = points;
    Fit();
    return true;
}

void Label::SetAutoSize(bool on) {
    auto_size_ = on;
    Fit();
}

void Label::Fit() {
    if (!auto_size_ || fonts_ == nullptr) return;
    // An empty caption still measures one line high, as an auto-sized label keeps its height.
    Width = fonts_->TextWidth(caption_, font_size_);
    Height = fonts_->TextHeight(caption_, font_size_);
}

}  // namespace kavro::toolkit
