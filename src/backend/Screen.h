#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "forms/Form.h"
// The rest of the screen backend, for those who show the form rather than paint it.
#include "backend/VideoSession.h"
#include "backend/Window.h"

struct SDL_Surface;

namespace kavro::toolkit {

struct ScreenPictureFree {
    void operator()(SDL_Surface* surface) const;
};
// What the screen shows: its pixels without an alpha channel, for WritePng.
using ScreenPicture = std::unique_ptr<SDL_Surface, ScreenPictureFree>;

// The headless backend's painting alone: the form at its size (twips / 15 pixels), turned by
// its Rotation. Nothing, with the reason in *error, when it cannot be painted.
ScreenPicture PaintForm(const Form& form, std::string* error);

// The headless backend: PaintForm, then WritePng of the picture. Returns false with the reason
// in *error.
bool RenderFormToPng(const Form& form, const std::string& png_path, std::string* error);

// Drawn at width_px x height_px pixels (what a window of that size shows), then written as
// WritePng writes it.
bool PaintToPng(const Form& form, int width_px, int height_px, const std::string& png_path,
                std::string* error);

}  // namespace kavro::toolkit
