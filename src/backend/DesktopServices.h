#pragma once

#include "forms/Services.h"

namespace kavro::toolkit {

// Services of a run with a display: the message box is a real one (and the text also goes to
// stderr); the beep is the terminal bell.
class DesktopServices : public HeadlessServices {
  public:
    using HeadlessServices::HeadlessServices;
    void MsgBox(const std::string& text) override;
    void Beep() override;
    std::int64_t Milliseconds() const override;
};

}  // namespace kavro::toolkit
