#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

#include "forms/Form.h"

namespace kavro::app {

// What a key or a controller press can do, in the order of precedence when one input is set
// for several of them.
enum class Action {
    ScrollUp,
    ScrollDown,
    PrevSection,
    NextSection,
    Exit,
    Zoom,
    RemoveImages,
    RemoveFormatting,
    // Paging, after the eight so that those win where codes collide.
    PageUp,
    PageDown,
    FirstSection,
    LastSection,
};
inline constexpr std::size_t kActionCount = 12;

// The settings-file key of each action, by Action.
inline constexpr std::array<std::string_view, kActionCount> kActionNames = {
    "ScrollUp", "ScrollDown", "PrevSection",  "NextSection",
    "Exit",     "Zoom",       "RemoveImages", "RemoveFormatting",
    "PageUp",   "PageDown",   "FirstSection", "LastSection"};

// The controller inputs of each action, by Action.
using ControllerMap = std::array<std::vector<toolkit::ControllerInput>, kActionCount>;

// Controllers with a known layout scroll and switch sections with the d-pad and the left stick
// and leave with "back", and page with the shoulder buttons; plain joysticks scroll and switch
// with hat 0 and axes 0 and 1.
ControllerMap DefaultControllerMap();

// Inputs as a settings file writes them, comma-separated: "button 3", "hat 0 up",
// "axis 1 +", a controller button such as "dpup" or "back", or a controller axis with a
// direction such as "lefty -". Names ignore case; an empty text is no input. nullopt when the
// text is none of these.
std::optional<std::vector<toolkit::ControllerInput>> ParseControllerInputs(std::string_view text);

}  // namespace kavro::app
