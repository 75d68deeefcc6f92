#pragma once

namespace kavro::toolkit {

class PictureBox;

// What every control has. Positions and sizes are twips, single precision; with a Container
// they are relative to that picture box, which also clips the control.
class Control {
public:
    virtual ~Control() = default;

    float Left = 0;
    float Top = 0;
    float Width = 0;
    float Height = 0;
    bool Visible = true;
    PictureBox* Container = nullptr;
    int Index = 0;  // index in its control array, 0 for a single control
};

}  // namespace kavro::toolkit
