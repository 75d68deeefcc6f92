#include "app/Actions.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <string>

namespace kavro::app {

namespace {

using Input = toolkit::ControllerInput;
using Kind = Input::Kind;

// The names SDL gives a game controller's buttons and axes.
constexpr std::string_view kControllerButtons[] = {"a",
                                                   "b",
                                                   "x",
                                                   "y",
                                                   "back",
                                                   "guide",
                                                   "start",
                                                   "leftstick",
                                                   "rightstick",
                                                   "leftshoulder",
                                                   "rightshoulder",
                                                   "dpup",
                                                   "dpdown",
                                                   "dpleft",
                                                   "dpright",
                                                   "misc1",
                                                   "paddle1",
                                                   "paddle2",
                                                   "paddle3",
                                                   "paddle4",
                                                   "touchpad"};
constexpr std::string_view kControllerAxes[] = {"leftx",  "lefty",       "rightx",
                                                "righty", "lefttrigger", "righttrigger"};
// Higher numbers than any device has are surely a typing error.
constexpr int kMaxIndex = 255;

Input Button(std::string_view name) {
    return Input{Kind::ControllerButton, std::string(name), 0, 0};
}

std::vector<std::string> Words(std::string_view text) {
    std::vector<std::string> words;
    std::string word;
    const auto flush = [&] {
        if (!word.empty()) words.push_back(word);
        word.clear();
    };
    for (const char c : text) {
        if (c == ' ' || c == '\t') {
            flush();
        } else if (c == '+' || c == '-') {
            flush();
            words.emplace_back(1, c);
        } else {
            word.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
        }
    }
    flush();
    return words;
}

std::optional<int> Index(const std::string& word) {
    int value = -1;
    const auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value);
    if (ec != std::errc() || end != word.data() + word.size() || value < 0 || value > kMaxIndex)
        return std::nullopt;
    return value;
}

std::optional<int> Sign(const std::string& word) {
    if (word == "+") return +1;
    if (word == "-") return -1;
    return std::nullopt;
}

std::optional<Input> ParseOne(std::string_view text) {
    const std::vector<std::string> w = Words(text);
    const auto known = [](const auto& names, const std::string& word) {
        return std::find(std::begin(names), std::end(names), word) != std::end(names);
    };
    if (w.size() == 1 && known(kControllerButtons, w[0])) return Button(w[0]);
    if (w.size() == 2 && known(kControllerAxes, w[0]))
        if (const auto sign = Sign(w[1])) return Input{Kind::ControllerAxis, w[0], 0, *sign};
    if (w.size() == 2 && w[0] == "button")
        if (const auto n = Index(w[1])) return Input{Kind::JoystickButton, "", *n, 0};
    if (w.size() == 3 && w[0] == "axis") {
        const auto n = Index(w[1]);
        const auto sign = Sign(w[2]);
        if (n && sign) return Input{Kind::JoystickAxis, "", *n, *sign};
    }
    if (w.size() == 3 && w[0] == "hat") {
        const auto n = Index(w[1]);
        const std::pair<std::string_view, int> directions[] = {{"up", Input::kHatUp},
                                                               {"right", Input::kHatRight},
                                                               {"down", Input::kHatDown},
                                                               {"left", Input::kHatLeft}};
        for (const auto& [name, bit] : directions)
            if (n && w[2] == name) return Input{Kind::JoystickHat, "", *n, bit};
    }
    return std::nullopt;
}

}  // namespace

ControllerMap DefaultControllerMap() {
    const auto stick = [](std::string_view pad, std::string_view axis, int sign, int hat,
                          int joystick_axis) {
        return std::vector<Input>{Button(pad),
                                  Input{Kind::ControllerAxis, std::string(axis), 0, sign},
                                  Input{Kind::JoystickHat, "", 0, hat},
                                  Input{Kind::JoystickAxis, "", joystick_axis, sign}};
    };
    ControllerMap map;
    map[static_cast<std::size_t>(Action::ScrollUp)] = stick("dpup", "lefty", -1, Input::kHatUp, 1);
    map[static_cast<std::size_t>(Action::ScrollDown)] =
        stick("dpdown", "lefty", +1, Input::kHatDown, 1);
    map[static_cast<std::size_t>(Action::PrevSection)] =
        stick("dpleft", "leftx", -1, Input::kHatLeft, 0);
    map[static_cast<std::size_t>(Action::NextSection)] =
        stick("dpright", "leftx", +1, Input::kHatRight, 0);
    map[static_cast<std::size_t>(Action::Exit)] = {Button("back")};
    map[static_cast<std::size_t>(Action::Zoom)] = {Button("a")};
    map[static_cast<std::size_t>(Action::RemoveImages)] = {Button("x")};
    map[static_cast<std::size_t>(Action::RemoveFormatting)] = {Button("y")};
    map[static_cast<std::size_t>(Action::PageUp)] = {Button("leftshoulder")};
    map[static_cast<std::size_t>(Action::PageDown)] = {Button("rightshoulder")};
    return map;
}

std::optional<std::vector<Input>> ParseControllerInputs(std::string_view text) {
    std::vector<Input> inputs;
    // A bound on the work whatever the file holds: a value is at most a few hundred characters.
    for (std::size_t from = 0; from <= text.size();) {
        std::size_t at = text.find(',', from);
        if (at == std::string_view::npos) at = text.size();
        const std::string_view part = text.substr(from, at - from);
        if (part.find_first_not_of(" \t") != std::string_view::npos || at < text.size()) {
            const auto input = ParseOne(part);
            if (!input) return std::nullopt;
            inputs.push_back(*input);
        }
        from = at + 1;
    }
    return inputs;
}

}  // namespace kavro::app
