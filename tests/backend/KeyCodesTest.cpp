#include <gtest/gtest.h>

#include <SDL_keycode.h>

#include <utility>

#include "backend/KeyCodes.h"

namespace kavro::toolkit {
namespace {

// Letters, digits, function keys, navigation, modifiers (left and right alike), the keypad
// with Num Lock, punctuation, and keys without a virtual-key code.
TEST(KeyCodesTest, EveryKindOfKeyHasItsVirtualKeyCode) {
    // clang-format off
    const std::pair<SDL_Keycode, int> keys[] = {
        {SDLK_a, 65}, {SDLK_z, 90}, {SDLK_0, 48}, {SDLK_9, 57}, {SDLK_F1, 112}, {SDLK_F12, 123},
        {SDLK_F13, 124}, {SDLK_F24, 135}, {SDLK_LEFT, 37}, {SDLK_UP, 38}, {SDLK_RIGHT, 39},
        {SDLK_DOWN, 40}, {SDLK_LSHIFT, 16}, {SDLK_RSHIFT, 16}, {SDLK_LCTRL, 17}, {SDLK_RCTRL, 17},
        {SDLK_LALT, 18}, {SDLK_RALT, 18}, {SDLK_SPACE, 32}, {SDLK_RETURN, 13}, {SDLK_ESCAPE, 27},
        {SDLK_TAB, 9}, {SDLK_BACKSPACE, 8}, {SDLK_PAGEUP, 33}, {SDLK_PAGEDOWN, 34}, {SDLK_END, 35},
        {SDLK_HOME, 36}, {SDLK_INSERT, 45}, {SDLK_DELETE, 46}, {SDLK_PAUSE, 19},
        {SDLK_CAPSLOCK, 20}, {SDLK_KP_0, 96}, {SDLK_KP_5, 101}, {SDLK_KP_9, 105},
        {SDLK_KP_MULTIPLY, 106}, {SDLK_KP_PLUS, 107}, {SDLK_KP_ENTER, 13}, {SDLK_KP_MINUS, 109},
        {SDLK_KP_PERIOD, 110}, {SDLK_KP_DIVIDE, 111}, {SDLK_SEMICOLON, 186}, {SDLK_EQUALS, 187},
        {SDLK_COMMA, 188}, {SDLK_MINUS, 189}, {SDLK_PERIOD, 190}, {SDLK_SLASH, 191},
        {SDLK_BACKQUOTE, 192}, {SDLK_LEFTBRACKET, 219}, {SDLK_BACKSLASH, 220},
        {SDLK_RIGHTBRACKET, 221}, {SDLK_QUOTE, 222}, {SDLK_UNKNOWN, 0}, {SDLK_AUDIOPLAY, 0}};
    // clang-format on
    for (const auto& [sym, vk] : keys)
        EXPECT_EQ(VirtualKeyFromSdl(sym), vk) << sym;
}

TEST(KeyCodesTest, KeypadWithoutNumLockGivesTheKeysBelowTheDigits) {
    const std::pair<SDL_Keycode, int> keys[] = {
        {SDLK_KP_8, 38}, {SDLK_KP_2, 40}, {SDLK_KP_4, 37},     {SDLK_KP_6, 39},
        {SDLK_KP_7, 36}, {SDLK_KP_1, 35}, {SDLK_KP_9, 33},     {SDLK_KP_3, 34},
        {SDLK_KP_0, 45}, {SDLK_KP_5, 12}, {SDLK_KP_PERIOD, 46}};
    for (const auto& [sym, vk] : keys) {
        EXPECT_EQ(VirtualKeyFromSdl(sym, false), vk) << sym;
        EXPECT_NE(VirtualKeyFromSdl(sym, true), vk) << sym;
    }
    // Keys outside the digit block do not change with NumLock.
    for (const SDL_Keycode sym : {SDLK_KP_ENTER, SDLK_KP_PLUS, SDLK_UP, SDLK_8})
        EXPECT_EQ(VirtualKeyFromSdl(sym, false), VirtualKeyFromSdl(sym, true)) << sym;
}

TEST(KeyCodesTest, NamesIgnoreCaseAndBlanks) {
    EXPECT_EQ(VirtualKeyFromName("Down"), 40);
    EXPECT_EQ(VirtualKeyFromName("DOWN"), 40);
    EXPECT_EQ(VirtualKeyFromName("  up "), 38);
    EXPECT_EQ(VirtualKeyFromName("Left"), 37);
    EXPECT_EQ(VirtualKeyFromName("right"), 39);
    EXPECT_EQ(VirtualKeyFromName("Esc"), 27);
    EXPECT_EQ(VirtualKeyFromName("Escape"), 27);
    EXPECT_EQ(VirtualKeyFromName("Enter"), 13);
    EXPECT_EQ(VirtualKeyFromName("Return"), 13);
    EXPECT_EQ(VirtualKeyFromName("Space"), 32);
    EXPECT_EQ(VirtualKeyFromName("Tab"), 9);
    EXPECT_EQ(VirtualKeyFromName("Backspace"), 8);
    EXPECT_EQ(VirtualKeyFromName("Shift"), 16);
    EXPECT_EQ(VirtualKeyFromName("Ctrl"), 17);
    EXPECT_EQ(VirtualKeyFromName("control"), 17);
    EXPECT_EQ(VirtualKeyFromName("Alt"), 18);
    EXPECT_EQ(VirtualKeyFromName("Home"), 36);
    EXPECT_EQ(VirtualKeyFromName("End"), 35);
    EXPECT_EQ(VirtualKeyFromName("PageUp"), 33);
    EXPECT_EQ(VirtualKeyFromName("pagedown"), 34);
    EXPECT_EQ(VirtualKeyFromName("Insert"), 45);
    EXPECT_EQ(VirtualKeyFromName("Delete"), 46);
}

TEST(KeyCodesTest, LettersDigitsFunctionAndNumpadNames) {
    EXPECT_EQ(VirtualKeyFromName("a"), 65);
    EXPECT_EQ(VirtualKeyFromName("Z"), 90);
    EXPECT_EQ(VirtualKeyFromName("0"), 48);
    EXPECT_EQ(VirtualKeyFromName("Zero"), 48);
    EXPECT_EQ(VirtualKeyFromName("nine"), 57);
    EXPECT_EQ(VirtualKeyFromName("F1"), 112);
    EXPECT_EQ(VirtualKeyFromName("f5"), 116);
    EXPECT_EQ(VirtualKeyFromName("F24"), 135);
    EXPECT_EQ(VirtualKeyFromName("F25"), std::nullopt);
    EXPECT_EQ(VirtualKeyFromName("F0"), std::nullopt);
    EXPECT_EQ(VirtualKeyFromName("Num0"), 96);
    EXPECT_EQ(VirtualKeyFromName("num9"), 105);
    EXPECT_EQ(VirtualKeyFromName("Numpad3"), 99);
}

TEST(KeyCodesTest, DecimalCodesAndUnknownNames) {
    EXPECT_EQ(VirtualKeyFromName("40"), 40);
    EXPECT_EQ(VirtualKeyFromName("17"), 17);
    EXPECT_EQ(VirtualKeyFromName("255"), 255);
    EXPECT_EQ(VirtualKeyFromName("256"), std::nullopt);
    EXPECT_EQ(VirtualKeyFromName("00"), std::nullopt);
    EXPECT_EQ(VirtualKeyFromName("4x"), std::nullopt);
    EXPECT_EQ(VirtualKeyFromName("99999999999"), std::nullopt);
    EXPECT_EQ(VirtualKeyFromName(""), std::nullopt);
    EXPECT_EQ(VirtualKeyFromName("   "), std::nullopt);
    EXPECT_EQ(VirtualKeyFromName("Hyper"), std::nullopt);
    EXPECT_EQ(VirtualKeyFromName("-"), std::nullopt);
}

TEST(KeyCodesTest, NamesAgreeWithSdlMapping) {
    // Settings written with names must match the codes that key presses deliver.
    EXPECT_EQ(VirtualKeyFromName("Down"), VirtualKeyFromSdl(SDLK_DOWN));
    EXPECT_EQ(VirtualKeyFromName("Esc"), VirtualKeyFromSdl(SDLK_ESCAPE));
    EXPECT_EQ(VirtualKeyFromName("Ctrl"), VirtualKeyFromSdl(SDLK_RCTRL));
    EXPECT_EQ(VirtualKeyFromName("F7"), VirtualKeyFromSdl(SDLK_F7));
    EXPECT_EQ(VirtualKeyFromName("Num4"), VirtualKeyFromSdl(SDLK_KP_4));
    EXPECT_EQ(VirtualKeyFromName("q"), VirtualKeyFromSdl(SDLK_q));
}

}  // namespace
}  // namespace kavro::toolkit
