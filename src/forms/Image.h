#pragma once

#include "forms/Control.h"
#include "forms/Picture.h"

namespace kavro::toolkit {

// An image control. With Stretch off, assigning a picture gives the control the picture's
// natural size (15 twips per pixel); with Stretch on the picture is scaled to the control.
class Image : public Control {
  public:
    const PicturePtr& Picture() const { return picture_; }
    void SetPicture(PicturePtr picture);

    bool Stretch = false;
    int BorderStyle = 0;  // 0 none, 1 fixed single

  private:
    PicturePtr picture_;
};

}  // namespace kavro::toolkit
