#pragma once

#include <vector>

#include "forms/Control.h"
#include "forms/Picture.h"

namespace kavro::toolkit {

// A picture box: a surface with a background colour and persistent drawing. What PaintPicture
// draws is kept as a list of draw operations and replayed at every frame, so a surface of any
// height needs no texture of its own. It clips the controls it contains.
class PictureBox : public Control {
  public:
    struct Band {  // one PaintPicture: the picture stretched to w x h at x, y (twips)
        PicturePtr picture;
        float x = 0, y = 0, w = 0, h = 0;
    };

    long BackColor = 0;
    PicturePtr Picture;
    bool AutoSize = false;
    int BorderStyle = 0;

    void PaintPicture(PicturePtr picture, float x, float y, float width, float height);
    void Cls() { bands_.clear(); }
    const std::vector<Band>& Bands() const { return bands_; }

  private:
    std::vector<Band> bands_;
};

}  // namespace kavro::toolkit
