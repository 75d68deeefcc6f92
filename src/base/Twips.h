#pragma once

namespace kavro::base {

// Positions and sizes are kept in twips, as the forms toolkit the viewer was designed on kept
// them: 1/1440 inch, so 15 to a pixel at 96 dots per inch.
inline constexpr int kTwipsPerPixel = 15;

}  // namespace kavro::base
