#include "forms/Form.h"

#include <stdexcept>
#include <utility>

namespace kavro::toolkit {

Form::Form(std::unique_ptr<FontEngine> fonts) : fonts_(std::move(fonts)) {
    if (!fonts_) throw std::invalid_argument("a form needs a font engine");
}

void Form::Move(float left, float top, float width, float height) {
    Left = left;
    Top = top;
    Width = width;
    Height = height;
    if (Resize) Resize();
}

bool Form::SetFontSize(float points) {
    if (!FontEngine::IsValidSize(points)) return false;
    font_size_ = points;
    return true;
}

float Form::TextWidth(std::string_view text) const {
    return fonts_->TextWidth(text, font_size_);
}

float Form::TextHeight(std::string_view text) const {
    return fonts_->TextHeight(text, font_size_);
}

void Form::AddTimer(Timer* timer, std::function<void()> tick) {
    if (timer == nullptr) return;
    timers_.push_back(TimerSlot{timer, std::move(tick)});
}

}  // namespace kavro::toolkit
