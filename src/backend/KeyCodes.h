#pragma once

#include <optional>
#include <string_view>

namespace kavro::toolkit {

// Windows virtual-key code for an SDL key code (SDL_Keycode); 0 for keys that have none.
// Left and right modifiers give the same code. With NumLock off the keypad's digit keys give
// the codes of the keys printed below the digits (8 Up, 2 Down, 4 Left, 6 Right, 7 Home,
// 1 End, 9 PageUp, 3 PageDown, 0 Insert, the decimal point Delete, 5 Clear), as a keyboard
// does on the platform the codes come from.
int VirtualKeyFromSdl(int sdl_keycode, bool num_lock = true);

// Virtual-key code for a name as users write it ("Down", "Esc", "Space", "Ctrl", "A", "F5",
// "Num0", ...) or for a decimal code ("40"); nullopt when unknown. Names ignore case.
std::optional<int> VirtualKeyFromName(std::string_view name);

}  // namespace kavro::toolkit
