#pragma once

#include <compare>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "forms/ControlArray.h"
#include "text/FontEngine.h"
#include "forms/Image.h"
#include "forms/Label.h"
#include "forms/PictureBox.h"
#include "forms/Timer.h"

namespace kavro::toolkit {

// One press on a game controller or a plain joystick, in the terms a settings file names it.
// Sticks, triggers, axes and hat directions count as buttons once pushed past the dead zone.
struct ControllerInput {
    enum class Kind {
        ControllerButton,  // name: SDL's button name, such as "dpup", "a", "back", "start"
        ControllerAxis,    // name: SDL's axis name ("leftx", "lefty", ...); direction: +1 / -1
        JoystickButton,    // index: the button's number
        JoystickHat,       // index: the hat's number; direction: one of the kHat values
        JoystickAxis,      // index: the axis's number; direction: +1 / -1
    };
    static constexpr int kHatUp = 1, kHatRight = 2, kHatDown = 4, kHatLeft = 8;

    Kind kind = Kind::ControllerButton;
    std::string name;
    int index = 0;
    int direction = 0;

    auto operator<=>(const ControllerInput&) const = default;
    bool operator==(const ControllerInput&) const = default;
};

// The window as the program sees it: geometry in twips, caption, one font face whose size can
// change, text measurement, timers, key events, and the control arrays it draws. Both backends
// (the SDL window and the headless renderer) draw the same Form.
class Form {
  public:
    explicit Form(std::unique_ptr<FontEngine> fonts);
    virtual ~Form() = default;
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;

    std::string Caption = "Form1";
    long BackColor = 0;
    int BorderStyle = 0;
    float Left = 0, Top = 0, Width = 0, Height = 0;
    // Degrees (0, 90, 180 or 270) the picture is turned clockwise on the physical screen: a
    // screen mounted on its side. Width and Height stay the form's own, unturned size.
    int Rotation = 0;

    // Sets position and size and runs the Resize handler, as sizing a window does.
    void Move(float left, float top, float width, float height);

    float FontSize() const { return font_size_; }
    // Refuses (returns false, nothing changes) a size the font cannot take.
    bool SetFontSize(float points);
    // In the window's current font, in twips.
    float TextWidth(std::string_view text) const;
    float TextHeight(std::string_view text) const;
    // Clears the window's own drawing surface (the window draws nothing of its own but its
    // background, so this only asks for a redraw).
    void Cls() { ++redraws_requested_; }

    const FontEngine& Fonts() const { return *fonts_; }

    // Event handlers, set by the program.
    std::function<void(int key_code, int shift)> KeyDown;
    // A controller press, and its repeats while it is held.
    std::function<void(const ControllerInput&)> ControllerDown;
    // The mouse wheel turned by whole notches: positive away from the user (up), negative
    // towards the user (down).
    std::function<void(int notches)> MouseWheel;
    std::function<void()> Resize;
    void AddTimer(Timer* timer, std::function<void()> tick);
    struct TimerSlot {
        Timer* timer;
        std::function<void()> tick;
    };
    const std::vector<TimerSlot>& Timers() const { return timers_; }

    // What is drawn, in this order: every picture box with the images and then the labels it
    // contains, then the images and labels that lie directly on the window.
    void AddToScene(ControlArray<PictureBox>* boxes) { boxes_.push_back(boxes); }
    void AddToScene(ControlArray<Image>* images) { images_.push_back(images); }
    void AddToScene(ControlArray<Label>* labels) { labels_.push_back(labels); }
    const std::vector<ControlArray<PictureBox>*>& SceneBoxes() const { return boxes_; }
    const std::vector<ControlArray<Image>*>& SceneImages() const { return images_; }
    const std::vector<ControlArray<Label>*>& SceneLabels() const { return labels_; }

  private:
    std::unique_ptr<FontEngine> fonts_;
    float font_size_ = 12.0f;
    int redraws_requested_ = 0;
    std::vector<TimerSlot> timers_;
    std::vector<ControlArray<PictureBox>*> boxes_;
    std::vector<ControlArray<Image>*> images_;
    std::vector<ControlArray<Label>*> labels_;
};

}  // namespace kavro::toolkit
