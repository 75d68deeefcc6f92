#pragma once

#include <memory>

namespace kavro::base {

// Frees a C library's object with that library's own function, for std::unique_ptr and
// std::shared_ptr: Owned<SDL_Surface, SDL_FreeSurface>.
template <auto Free>
struct Deleter {
    void operator()(auto* object) const { Free(object); }
};

template <class T, auto Free>
using Owned = std::unique_ptr<T, Deleter<Free>>;

}  // namespace kavro::base
