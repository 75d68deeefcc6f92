#include "backend/Controllers.h"

#include <SDL.h>

#include <iostream>

#include "base/Deleter.h"
#include "forms/Services.h"

namespace kavro::toolkit {

namespace {

using ControllerPtr = base::Owned<SDL_GameController, SDL_GameControllerClose>;
using JoystickPtr = base::Owned<SDL_Joystick, SDL_JoystickClose>;

constexpr Uint32 kSubsystems = SDL_INIT_GAMECONTROLLER | SDL_INIT_JOYSTICK;
using Kind = ControllerInput::Kind;

// Calls f(input, pressed) for both directions of an axis.
template <typename F>
void ForAxis(Kind kind, std::string name, int index, int value, F&& f) {
    f(ControllerInput{kind, name, index, +1}, value > Controllers::kDeadZone);
    f(ControllerInput{kind, std::move(name), index, -1}, value < -Controllers::kDeadZone);
}

// Calls f(input, pressed) for the four directions of a hat; a diagonal presses two.
template <typename F>
void ForHat(int index, int value, F&& f) {
    for (const int direction : {ControllerInput::kHatUp, ControllerInput::kHatRight,
                                ControllerInput::kHatDown, ControllerInput::kHatLeft})
        f(ControllerInput{Kind::JoystickHat, "", index, direction}, (value & direction) != 0);
}

std::string ButtonName(int button) {
    const char* name =
        SDL_GameControllerGetStringForButton(static_cast<SDL_GameControllerButton>(button));
    return name ? name : "button" + std::to_string(button);
}

std::string AxisName(int axis) {
    const char* name =
        SDL_GameControllerGetStringForAxis(static_cast<SDL_GameControllerAxis>(axis));
    return name ? name : "axis" + std::to_string(axis);
}

void LoadMappings(const std::string& path) {
    if (SDL_GameControllerAddMappingsFromFile(path.c_str()) < 0)
        std::cerr << "kavro: the controller mappings in \"" << path
                  << "\" were not loaded: " << SDL_GetError() << '\n';
}

}  // namespace

struct Controllers::Device {
    ControllerPtr controller;  // a game controller, or
    JoystickPtr joystick;      // a plain joystick
    std::set<ControllerInput> down;

    // Calls f(input, pressed) for everything the device can press, as it stands now.
    template <typename F>
    void ForEachInput(F&& f) const {
        if (controller) {
            for (int b = 0; b < SDL_CONTROLLER_BUTTON_MAX; ++b)
                f(ControllerInput{Kind::ControllerButton, ButtonName(b), 0, 0},
                  SDL_GameControllerGetButton(controller.get(),
                                              static_cast<SDL_GameControllerButton>(b)) != 0);
            for (int a = 0; a < SDL_CONTROLLER_AXIS_MAX; ++a)
                ForAxis(Kind::ControllerAxis, AxisName(a), 0,
                        SDL_GameControllerGetAxis(controller.get(),
                                                  static_cast<SDL_GameControllerAxis>(a)),
                        f);
            return;
        }
        SDL_Joystick* j = joystick.get();
        for (int b = 0, n = SDL_JoystickNumButtons(j); b < n; ++b)
            f(ControllerInput{Kind::JoystickButton, "", b, 0}, SDL_JoystickGetButton(j, b) != 0);
        for (int h = 0, n = SDL_JoystickNumHats(j); h < n; ++h)
            ForHat(h, SDL_JoystickGetHat(j, h), f);
        for (int a = 0, n = SDL_JoystickNumAxes(j); a < n; ++a)
            ForAxis(Kind::JoystickAxis, "", a, SDL_JoystickGetAxis(j, a), f);
    }
};

std::unique_ptr<Controllers> Controllers::Start(const std::string& program_folder,
                                                std::string* error) {
    // The viewer owns the cabinet's screen: a window manager slow to hand over the focus must
    // not swallow the first presses.
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    if (SDL_InitSubSystem(kSubsystems) != 0) {
        if (error) *error = std::string("cannot start game controllers: ") + SDL_GetError();
        return nullptr;
    }
    auto controllers = std::make_unique<Controllers>();
    controllers->started_ = true;
    // SDL's own database is built in; a file beside the program adds to it, and the file the
    // user names in the environment has the last word.
    const std::string beside = program_folder + Services::kSep + "gamecontrollerdb.txt";
    if (Services::FileExists(beside)) LoadMappings(beside);
    if (const char* named = SDL_getenv("SDL_GAMECONTROLLERCONFIG_FILE"); named && *named)
        LoadMappings(named);
    return controllers;
}

Controllers::~Controllers() {
    devices_.clear();
    if (started_) SDL_QuitSubSystem(kSubsystems);
}

void Controllers::Open(int device_index, bool as_controller) {
    auto device = std::make_unique<Device>();
    SDL_Joystick* joystick = nullptr;
    if (as_controller) {
        device->controller.reset(SDL_GameControllerOpen(device_index));
        if (device->controller) joystick = SDL_GameControllerGetJoystick(device->controller.get());
    } else {
        if (SDL_IsGameController(device_index)) return;  // it comes as a controller as well
        device->joystick.reset(SDL_JoystickOpen(device_index));
        joystick = device->joystick.get();
    }
    if (!joystick) return;
    const int id = SDL_JoystickInstanceID(joystick);
    if (auto it = devices_.find(id); it != devices_.end()) {
        // A joystick that has since got a mapping becomes a controller; nothing else changes.
        if (it->second->controller || !as_controller) return;
        Close(id);
    }
    // What is held as it arrives stays ignored until released.
    device->ForEachInput([&](const ControllerInput& input, bool pressed) {
        if (!pressed) return;
        device->down.insert(input);
        held_.MarkHeld(Held{id, input});
    });
    devices_.emplace(id, std::move(device));
}

void Controllers::Close(int instance_id) {
    devices_.erase(instance_id);
    held_.ReleaseIf([&](const Held& h) { return h.device == instance_id; });
    repeat_.ReleaseIf([&](const Held& h) { return h.device == instance_id; });
}

void Controllers::Update(int instance_id, const ControllerInput& input, bool pressed,
                         std::uint64_t now, std::vector<ControllerInput>* out) {
    const auto it = devices_.find(instance_id);
    if (it == devices_.end()) return;
    std::set<ControllerInput>& down = it->second->down;
    const Held held{instance_id, input};
    if (pressed) {
        if (!down.insert(input).second || !held_.Accept(held)) return;
        repeat_.Press(held, now);
        out->push_back(input);
    } else if (down.erase(input) > 0) {
        held_.Release(held);
        repeat_.Release(held);
    }
}

std::vector<ControllerInput> Controllers::Handle(const SDL_Event& ev, std::uint64_t now_ms) {
    std::vector<ControllerInput> out;
    const auto update = [&](int id) {
        return [this, id, now_ms, &out](const ControllerInput& input, bool pressed) {
            Update(id, input, pressed, now_ms, &out);
        };
    };
    // Joystick events of a device opened as a controller are the same presses again.
    const auto plain = [&](int id) {
        const auto it = devices_.find(id);
        return it != devices_.end() && it->second->joystick;
    };
    switch (ev.type) {
        case SDL_CONTROLLERDEVICEADDED:
            Open(ev.cdevice.which, true);
            break;
        case SDL_JOYDEVICEADDED:
            Open(ev.jdevice.which, false);
            break;
        case SDL_CONTROLLERDEVICEREMOVED:
            Close(ev.cdevice.which);
            break;
        case SDL_JOYDEVICEREMOVED:
            Close(ev.jdevice.which);
            break;
        case SDL_CONTROLLERBUTTONDOWN:
        case SDL_CONTROLLERBUTTONUP:
            if (!plain(ev.cbutton.which))
                update(ev.cbutton.which)(
                    ControllerInput{Kind::ControllerButton, ButtonName(ev.cbutton.button), 0, 0},
                    ev.type == SDL_CONTROLLERBUTTONDOWN);
            break;
        case SDL_CONTROLLERAXISMOTION:
            if (!plain(ev.caxis.which))
                ForAxis(Kind::ControllerAxis, AxisName(ev.caxis.axis), 0, ev.caxis.value,
                        update(ev.caxis.which));
            break;
        case SDL_JOYBUTTONDOWN:
        case SDL_JOYBUTTONUP:
            if (plain(ev.jbutton.which))
                update(ev.jbutton.which)(
                    ControllerInput{Kind::JoystickButton, "", ev.jbutton.button, 0},
                    ev.type == SDL_JOYBUTTONDOWN);
            break;
        case SDL_JOYHATMOTION:
            if (plain(ev.jhat.which)) ForHat(ev.jhat.hat, ev.jhat.value, update(ev.jhat.which));
            break;
        case SDL_JOYAXISMOTION:
            if (plain(ev.jaxis.which))
                ForAxis(Kind::JoystickAxis, "", ev.jaxis.axis, ev.jaxis.value,
                        update(ev.jaxis.which));
            break;
        default:
            break;
    }
    return out;
}

std::vector<ControllerInput> Controllers::DueRepeats(std::uint64_t now_ms) {
    std::vector<ControllerInput> out;
    for (const Held& held : repeat_.Due(now_ms))
        out.push_back(held.input);
    return out;
}

}  // namespace kavro::toolkit
