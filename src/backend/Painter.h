#pragma once

#include <memory>

#include "forms/Form.h"

struct SDL_Renderer;

namespace kavro::toolkit {

// Draws a form on a renderer (the window's, or a software renderer on a surface) and keeps the
// textures it made for the next frame.
class Painter {
  public:
    explicit Painter(SDL_Renderer* renderer);
    ~Painter();
    Painter(const Painter&) = delete;
    Painter& operator=(const Painter&) = delete;

    // The form at width_px x height_px pixels, unturned.
    void Paint(const Form& form, int width_px, int height_px);

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace kavro::toolkit
