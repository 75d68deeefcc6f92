#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "forms/DataPaths.h"

namespace kavro::toolkit {

// Thrown to end the program at once with an exit status; caught only by main.
struct ProgramEnd {
    int status = 0;
};

// The process services the viewer needs from its platform.
class Services {
  public:
    virtual ~Services() = default;
    // The program's folder, without a trailing separator.
    virtual std::string AppPath() const = 0;
    // The folders documents, style files, icons and pictures are looked up in, in order
    // (see DataPaths).
    virtual const std::vector<std::string>& MetadataRoots() const = 0;
    // The settings file to read and write.
    virtual const std::string& SettingsFile() const = 0;
    // Everything after the program name, as one string.
    virtual std::string CommandLine() const = 0;
    // The words after the program name as the platform handed them over. A platform (or a
    // launcher) that passes the whole command line as one text gives one word.
    virtual std::vector<std::string> Arguments() const = 0;
    // The whole screen, in twips.
    virtual float ScreenWidth() const = 0;
    virtual float ScreenHeight() const = 0;
    // Shows a message with an OK button and returns when it is closed. The text always goes to
    // stderr as well.
    virtual void MsgBox(const std::string& text) = 0;
    virtual void Beep() = 0;
    // A clock in milliseconds that only moves forward; its start is arbitrary. Timers count
    // with it, so tests can move it by hand.
    virtual std::int64_t Milliseconds() const = 0;
    // Ends the program at once (throws ProgramEnd).
    [[noreturn]] virtual void End(int status) { throw ProgramEnd{status}; }

    // Degrees (0, 90, 180 or 270) the picture is turned on the physical screen. The screen
    // the viewer works with is the turned one: a quarter turn swaps its width and height.
    void SetRotation(int degrees) { rotation_ = degrees; }
    int Rotation() const { return rotation_; }

    // A lookup of one path for normal files: true when a regular, non-hidden file is there.
    static bool FileExists(const std::string& path);
    // The platform's path separator.
    static constexpr char kSep = '/';

  protected:
    bool Sideways() const { return rotation_ == 90 || rotation_ == 270; }

  private:
    int rotation_ = 0;
};

// Services of a run without a display (tests and --render): messages go to stderr only,
// beeps are counted.
class HeadlessServices : public Services {
  public:
    HeadlessServices(std::string app_path, std::string command_line, float screen_width_twips,
                     float screen_height_twips)
        : app_path_(std::move(app_path)),
          data_paths_(FindDataPaths(app_path_)),
          command_line_(std::move(command_line)),
          width_(screen_width_twips),
          height_(screen_height_twips) {
        if (!command_line_.empty()) arguments_.push_back(command_line_);
    }
    // The words one by one, as a process's argument vector holds them.
    HeadlessServices(std::string app_path, std::vector<std::string> arguments,
                     float screen_width_twips, float screen_height_twips);

    std::string AppPath() const override { return app_path_; }
    const std::vector<std::string>& MetadataRoots() const override {
        return data_paths_.metadata_roots;
    }
    const std::string& SettingsFile() const override { return data_paths_.settings_file; }
    std::string CommandLine() const override { return command_line_; }
    std::vector<std::string> Arguments() const override { return arguments_; }
    float ScreenWidth() const override { return Sideways() ? height_ : width_; }
    float ScreenHeight() const override { return Sideways() ? width_ : height_; }
    void MsgBox(const std::string& text) override;
    void Beep() override { ++beeps_; }
    // A clock that moves only when AdvanceClock moves it.
    std::int64_t Milliseconds() const override { return clock_ms_; }
    void AdvanceClock(std::int64_t ms) { clock_ms_ += ms; }

    int Beeps() const { return beeps_; }
    const std::string& LastMessage() const { return last_message_; }
    void SetScreen(float w, float h) { width_ = w, height_ = h; }

  private:
    std::string app_path_;
    DataPaths data_paths_;
    std::string command_line_;
    std::vector<std::string> arguments_;
    float width_;
    float height_;
    int beeps_ = 0;
    std::int64_t clock_ms_ = 0;
    std::string last_message_;
};

}  // namespace kavro::toolkit
