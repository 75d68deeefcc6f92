#include "backend/KeyCodes.h"

#include <SDL_keycode.h>

#include <array>
#include <cctype>
#include <charconv>
#include <string>
#include <utility>

#include "base/Strings.h"

namespace kavro::toolkit {

namespace {

constexpr int kVkF1 = 112;
constexpr int kVkNumpad0 = 96;

struct KeyPair {
    SDL_Keycode sdl;
    int vk;
};

// Keys whose SDL codes are not in a contiguous run.
constexpr std::array<KeyPair, 51> kSdlTable{{
    {SDLK_BACKSPACE, 8},     {SDLK_TAB, 9},          {SDLK_RETURN, 13},
    {SDLK_RETURN2, 13},      {SDLK_KP_ENTER, 13},    {SDLK_LSHIFT, 16},
    {SDLK_RSHIFT, 16},       {SDLK_LCTRL, 17},       {SDLK_RCTRL, 17},
    {SDLK_LALT, 18},         {SDLK_RALT, 18},        {SDLK_PAUSE, 19},
    {SDLK_CAPSLOCK, 20},     {SDLK_ESCAPE, 27},      {SDLK_SPACE, 32},
    {SDLK_PAGEUP, 33},       {SDLK_PAGEDOWN, 34},    {SDLK_END, 35},
    {SDLK_HOME, 36},         {SDLK_LEFT, 37},        {SDLK_UP, 38},
    {SDLK_RIGHT, 39},        {SDLK_DOWN, 40},        {SDLK_PRINTSCREEN, 44},
    {SDLK_INSERT, 45},       {SDLK_DELETE, 46},      {SDLK_LGUI, 91},
    {SDLK_RGUI, 92},         {SDLK_APPLICATION, 93}, {SDLK_KP_0, 96},
    {SDLK_KP_1, 97},         {SDLK_KP_2, 98},        {SDLK_KP_3, 99},
    {SDLK_KP_4, 100},        {SDLK_KP_5, 101},       {SDLK_KP_6, 102},
    {SDLK_KP_7, 103},        {SDLK_KP_8, 104},       {SDLK_KP_9, 105},
    {SDLK_KP_MULTIPLY, 106}, {SDLK_KP_PLUS, 107},    {SDLK_KP_MINUS, 109},
    {SDLK_KP_PERIOD, 110},   {SDLK_KP_DIVIDE, 111},  {SDLK_NUMLOCKCLEAR, 144},
    {SDLK_SCROLLLOCK, 145},  {SDLK_SEMICOLON, 186},  {SDLK_EQUALS, 187},
    {SDLK_COMMA, 188},       {SDLK_MINUS, 189},      {SDLK_PERIOD, 190},
}};

// The remaining punctuation keys of a US layout.
constexpr std::array<KeyPair, 6> kOemTable{{
    {SDLK_SLASH, 191},
    {SDLK_BACKQUOTE, 192},
    {SDLK_LEFTBRACKET, 219},
    {SDLK_BACKSLASH, 220},
    {SDLK_RIGHTBRACKET, 221},
    {SDLK_QUOTE, 222},
}};

// The keypad with NumLock off.
constexpr std::array<KeyPair, 11> kKeypadWithoutNumLock{{
    {SDLK_KP_0, 45},
    {SDLK_KP_1, 35},
    {SDLK_KP_2, 40},
    {SDLK_KP_3, 34},
    {SDLK_KP_4, 37},
    {SDLK_KP_5, 12},
    {SDLK_KP_6, 39},
    {SDLK_KP_7, 36},
    {SDLK_KP_8, 38},
    {SDLK_KP_9, 33},
    {SDLK_KP_PERIOD, 46},
}};

constexpr std::array<SDL_Keycode, 24> kFunctionKeys{
    SDLK_F1,  SDLK_F2,  SDLK_F3,  SDLK_F4,  SDLK_F5,  SDLK_F6,  SDLK_F7,  SDLK_F8,
    SDLK_F9,  SDLK_F10, SDLK_F11, SDLK_F12, SDLK_F13, SDLK_F14, SDLK_F15, SDLK_F16,
    SDLK_F17, SDLK_F18, SDLK_F19, SDLK_F20, SDLK_F21, SDLK_F22, SDLK_F23, SDLK_F24,
};

struct NamePair {
    std::string_view name;  // lower case
    int vk;
};

constexpr std::array<NamePair, 47> kNames{{
    {"backspace", 8}, {"back", 8},       {"tab", 9},      {"enter", 13},     {"return", 13},
    {"shift", 16},    {"ctrl", 17},      {"control", 17}, {"alt", 18},       {"menu", 18},
    {"pause", 19},    {"capslock", 20},  {"esc", 27},     {"escape", 27},    {"space", 32},
    {"pageup", 33},   {"pgup", 33},      {"prior", 33},   {"pagedown", 34},  {"pgdn", 34},
    {"next", 34},     {"end", 35},       {"home", 36},    {"left", 37},      {"up", 38},
    {"right", 39},    {"down", 40},      {"insert", 45},  {"ins", 45},       {"delete", 46},
    {"del", 46},      {"zero", 48},      {"one", 49},     {"two", 50},       {"three", 51},
    {"four", 52},     {"five", 53},      {"six", 54},     {"seven", 55},     {"eight", 56},
    {"nine", 57},     {"multiply", 106}, {"add", 107},    {"subtract", 109}, {"decimal", 110},
    {"divide", 111},  {"numlock", 144},
}};

// A whole decimal number in [lo, hi], else nullopt.
std::optional<int> ParseNumber(std::string_view s, int lo, int hi) {
    if (s.empty() || s.size() > 5) return std::nullopt;
    int value = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (ec != std::errc() || end != s.data() + s.size() || value < lo || value > hi)
        return std::nullopt;
    return value;
}

}  // namespace

int VirtualKeyFromSdl(int sdl_keycode, bool num_lock) {
    const SDL_Keycode key = sdl_keycode;
    if (!num_lock) {
        for (const KeyPair& p : kKeypadWithoutNumLock)
            if (p.sdl == key) return p.vk;
    }
    if (key >= SDLK_a && key <= SDLK_z) return 'A' + (key - SDLK_a);
    if (key >= SDLK_0 && key <= SDLK_9) return '0' + (key - SDLK_0);
    for (std::size_t i = 0; i < kFunctionKeys.size(); ++i)
        if (kFunctionKeys[i] == key) return kVkF1 + static_cast<int>(i);
    for (const KeyPair& p : kSdlTable)
        if (p.sdl == key) return p.vk;
    for (const KeyPair& p : kOemTable)
        if (p.sdl == key) return p.vk;
    return 0;
}

std::optional<int> VirtualKeyFromName(std::string_view name) {
    while (!name.empty() && std::isspace(static_cast<unsigned char>(name.front())))
        name.remove_prefix(1);
    while (!name.empty() && std::isspace(static_cast<unsigned char>(name.back())))
        name.remove_suffix(1);
    if (name.empty()) return std::nullopt;

    if (name.size() == 1) {
        const auto c = static_cast<unsigned char>(name.front());
        if (std::isalpha(c)) return std::toupper(c);
        if (std::isdigit(c)) return static_cast<int>(c);  // the digit key itself
        return std::nullopt;
    }
    // Two or more digits: a virtual-key code written as a number.
    if (std::isdigit(static_cast<unsigned char>(name.front()))) return ParseNumber(name, 1, 255);

    const std::string lower = base::LowerAscii(name);
    for (const NamePair& p : kNames)
        if (p.name == lower) return p.vk;
    if (lower.size() >= 2 && lower[0] == 'f') {
        if (auto n = ParseNumber(std::string_view(lower).substr(1), 1, 24)) return kVkF1 + *n - 1;
    }
    for (std::string_view prefix : {"numpad", "num", "kp"}) {
        if (lower.size() == prefix.size() + 1 && lower.starts_with(prefix)) {
            const char d = lower.back();
            if (d >= '0' && d <= '9') return kVkNumpad0 + (d - '0');
        }
    }
    return std::nullopt;
}

}  // namespace kavro::toolkit
