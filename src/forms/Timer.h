#pragma once

namespace kavro::toolkit {

// A timer: while Enabled, it ticks every Interval milliseconds (the event loop calls the tick).
struct Timer {
    int Interval = 0;
    bool Enabled = false;
};

}  // namespace kavro::toolkit
