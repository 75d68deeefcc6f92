#pragma once

#include <optional>
#include <string_view>

namespace kavro::toolkit {

// Windows virtual-key code for an SDL key code (SDL_Keycode); 0 for keys that have none.
// Left and right modifiers give the same code.
int VirtualKeyFromSdl(int sdl_keycode);

// Virtual-key code for a name as users write it ("Down", "Esc", "Space", "Ctrl", "A", "F5",
// "Num0", ...) or for a decimal code ("40"); nullopt when unknown. Names ignore case.
std::optional<int> VirtualKeyFromName(std::string_view name);

}  // namespace kavro::toolkit
