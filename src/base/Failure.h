#pragma once

#include <string>
#include <utility>

namespace kavro::base {

// Puts why into *error (when there is one) and gives false: `return Fail(error, "...")`.
inline bool Fail(std::string* error, std::string why) {
    if (error) *error = std::move(why);
    return false;
}

}  // namespace kavro::base
