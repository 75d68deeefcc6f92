#pragma once

#include <stdexcept>

namespace kavro::app {

// A value in the settings file that does not convert; the message names the file, the
// section, the key and the value. Nothing catches it before start-up ends.
struct SettingsError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

}  // namespace kavro::app
