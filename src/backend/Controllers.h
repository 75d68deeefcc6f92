#pragma once

#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "forms/Form.h"

union SDL_Event;

namespace kavro::toolkit {

// Presses that were already held when the window appeared (the button that started the viewer
// from a frontend) are ignored, with their repeats, until they have been released once.
template <typename Id>
class HeldInputFilter {
  public:
    void MarkHeld(const Id& id) { held_.insert(id); }
    // True when a press of id reaches the program.
    bool Accept(const Id& id) const { return !held_.contains(id); }
    void Release(const Id& id) { held_.erase(id); }
    template <typename Pred>
    void ReleaseIf(Pred pred) {
        std::erase_if(held_, pred);
    }
    bool Empty() const { return held_.empty(); }

  private:
    std::set<Id> held_;
};

// Repeats held presses as a keyboard repeats a held key: first after kFirstDelayMs, then every
// kIntervalMs. A late look gives one repeat, never a burst of missed ones.
template <typename Id>
class InputRepeat {
  public:
    static constexpr std::uint64_t kFirstDelayMs = 400;
    static constexpr std::uint64_t kIntervalMs = 50;

    void Press(const Id& id, std::uint64_t now) { due_[id] = now + kFirstDelayMs; }
    void Release(const Id& id) { due_.erase(id); }
    template <typename Pred>
    void ReleaseIf(Pred pred) {
        std::erase_if(due_, [&](const auto& entry) { return pred(entry.first); });
    }
    // Milliseconds until the next repeat; -1 when nothing is held.
    int WaitMs(std::uint64_t now) const {
        if (due_.empty()) return -1;
        std::uint64_t next = UINT64_MAX;
        for (const auto& [id, at] : due_)
            next = std::min(next, at);
        return next <= now ? 0 : static_cast<int>(std::min<std::uint64_t>(next - now, 1u << 30));
    }
    // The presses due to repeat now.
    std::vector<Id> Due(std::uint64_t now) {
        std::vector<Id> due;
        for (auto& [id, at] : due_) {
            if (at > now) continue;
            due.push_back(id);
            at = now + kIntervalMs;
        }
        return due;
    }

  private:
    std::map<Id, std::uint64_t> due_;
};

// Game controllers and plain joysticks: opens them as they come and goes, and turns their
// buttons, hats, sticks and axes into ControllerInput presses with repeats. A device SDL knows
// as a game controller is handled as a controller only.
class Controllers {
  public:
    // Axis values beyond this count as a press in that direction.
    static constexpr int kDeadZone = 16000;

    // Starts SDL's joystick and controller subsystems and loads the mappings of
    // program_folder/gamecontrollerdb.txt and of SDL_GAMECONTROLLERCONFIG_FILE when present.
    // Null with the reason in *error when the subsystems cannot start.
    static std::unique_ptr<Controllers> Start(const std::string& program_folder,
                                              std::string* error);
    // Without Start: no subsystem, no devices; events give nothing.
    Controllers() = default;
    ~Controllers();
    Controllers(const Controllers&) = delete;
    Controllers& operator=(const Controllers&) = delete;

    // Handles device arrivals and removals and input events; returns the presses to deliver.
    // Other events give nothing.
    std::vector<ControllerInput> Handle(const SDL_Event& ev, std::uint64_t now_ms);
    std::vector<ControllerInput> DueRepeats(std::uint64_t now_ms);
    // Milliseconds until the next repeat is due; -1 when nothing repeats.
    int WaitMs(std::uint64_t now_ms) const { return repeat_.WaitMs(now_ms); }
    std::size_t OpenDevices() const { return devices_.size(); }

    struct Device;
    struct Held {
        int device;
        ControllerInput input;
        auto operator<=>(const Held&) const = default;
        bool operator==(const Held&) const = default;
    };

  private:
    void Open(int device_index, bool as_controller);
    void Close(int instance_id);
    void Update(int instance_id, const ControllerInput& input, bool pressed, std::uint64_t now,
                std::vector<ControllerInput>* out);

    bool started_ = false;
    std::map<int, std::unique_ptr<Device>> devices_;  // by SDL instance id
    HeldInputFilter<Held> held_;
    InputRepeat<Held> repeat_;
};

}  // namespace kavro::toolkit
