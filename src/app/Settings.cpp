#include "app/Settings.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string_view>
#include <utility>

#include "app/Viewer.h"
#include "backend/KeyCodes.h"
#include "cli/IniFile.h"
#include "document/Conversions.h"
#include "forms/Services.h"

namespace kavro::app {

namespace {

constexpr std::string_view kInput = "Input";
constexpr std::string_view kSettings = "Settings";
constexpr std::string_view kJoystick = "Joystick";
// The value buffer of the profile call holds 250 characters including the terminator.
constexpr std::size_t kValueLimit = 249;
// Nine hours (a 16-bit value, as every number of the file); the screens a desktop can have.
constexpr int kMostSeconds = 32767;
constexpr int kMostDisplay = 255;

// The value as a message can show it: control characters and bytes above ASCII escaped.
std::string Printable(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F) {
            out.push_back(c);
        } else {
            out += "\\x";
            out.push_back(kHex[byte >> 4]);
            out.push_back(kHex[byte & 0x0F]);
        }
    }
    return out;
}

// The text the program works with: the value or the default, cut like the buffer cuts it and
// without blanks around it.
// Several files: the last that has the key gives it (path is set to that file, for messages).
std::optional<std::string> ReadText(const Files& files, std::string_view section,
                                    std::string_view key,
                                    std::optional<std::string_view> default_text,
                                    std::string* path = nullptr) {
    std::optional<std::string> value;
    for (auto file = files.rbegin(); file != files.rend() && !value; ++file) {
        value = IniFile::GetProfileString(*file, section, key);
        if (path) *path = *file;
    }
    if (!value) {
        if (!default_text) return std::nullopt;
        value = std::string(*default_text);
    }
    if (value->size() > kValueLimit) value->resize(kValueLimit);
    return document::Trim(*value);
}

[[noreturn]] void ThrowBadValue(const std::string& path, std::string_view section,
                                std::string_view key, const std::string& text,
                                std::string_view expected) {
    throw SettingsError("Settings file \"" + path + "\": [" + std::string(section) + "] " +
                        std::string(key) + " = \"" + Printable(text) + "\" is not " +
                        std::string(expected));
}

constexpr std::string_view kKeyCodeExpected =
    "a key code (a key name such as Q, Esc, PageDown or F1, or a whole number from -32768 to "
    "32767)";

// A number keeps its meaning as a code (rounded, range-checked); only text that is no number
// at all is looked up as a key name. A number out of range is therefore an error, never a name.
std::optional<std::int16_t> KeyCodeFromText(const std::string& text) {
    if (const auto code = document::ToInteger(text)) return code;
    if (document::ToDouble(text)) return std::nullopt;
    if (const auto named = toolkit::VirtualKeyFromName(text))
        return static_cast<std::int16_t>(*named);
    return std::nullopt;
}

std::int16_t ReadKeyCode(const Files& files, std::string_view key, std::string_view default_text) {
    std::string path;
    const std::string text = *ReadText(files, kInput, key, default_text, &path);
    const auto code = KeyCodeFromText(text);
    if (!code) ThrowBadValue(path, kInput, key, text, kKeyCodeExpected);
    return *code;
}

bool ReadFlag(const Files& files, std::string_view key, std::string_view default_text) {
    std::string path;
    const std::string text = *ReadText(files, kSettings, key, default_text, &path);
    const auto flag = document::ToBoolean(text);
    if (!flag) ThrowBadValue(path, kSettings, key, text, "a flag (True, False or a number)");
    return *flag;
}

// An optional whole number of [Settings] from 0 to most; absent gives 0.
int ReadCount(const Files& files, std::string_view key, int most) {
    std::string path;
    const auto text = ReadText(files, kSettings, key, std::nullopt, &path);
    if (!text) return 0;
    const auto value = document::ToInteger(*text);
    if (!value || *value < 0 || *value > most)
        ThrowBadValue(path, kSettings, key, *text,
                      "a whole number from 0 to " + std::to_string(most));
    return *value;
}

int ReadRotation(const Files& files) {
    std::string path;
    const auto text = ReadText(files, kSettings, "Rotate", std::nullopt, &path);
    if (!text) return 0;
    const auto degrees = document::ToInteger(*text);
    if (!degrees || (*degrees != 0 && *degrees != 90 && *degrees != 180 && *degrees != 270))
        ThrowBadValue(path, kSettings, "Rotate", *text, "a rotation (0, 90, 180 or 270)");
    return *degrees;
}

// An action without a line keeps its default inputs; an empty value gives it none.
void ReadControllerInputs(const Files& files, ControllerMap* map) {
    for (std::size_t i = 0; i < kActionCount; ++i) {
        std::string path;
        const auto text = ReadText(files, kJoystick, kActionNames[i], std::nullopt, &path);
        if (!text) continue;
        auto inputs = ParseControllerInputs(*text);
        if (!inputs)
            ThrowBadValue(path, kJoystick, kActionNames[i], *text,
                          "a controller input (such as \"button 3\", \"hat 0 up\", "
                          "\"axis 1 +\", \"dpup\" or \"back\")");
        (*map)[i] = std::move(*inputs);
    }
}

std::string_view FlagText(bool flag) {
    return flag ? "True" : "False";
}

}  // namespace

std::string SettingsPath(const std::string& app_path) {
    return app_path + toolkit::Services::kSep + "kavro.ini";
}

SettingsValues ReadSettings(const std::string& path) {
    return ReadSettings(Files{path});
}

SettingsValues ReadSettings(const Files& path) {
    SettingsValues values;
    values.ZoomKey = ReadKeyCode(path, "Zoom", "17");
    values.ExitKey = ReadKeyCode(path, "Exit", "27");
    values.RemoveImagesKey = ReadKeyCode(path, "RemoveImages", "18");
    values.RemoveFormattingKey = ReadKeyCode(path, "RemoveFormatting", "32");
    values.ScrollUpKey = ReadKeyCode(path, "ScrollUp", "38");
    values.ScrollDownKey = ReadKeyCode(path, "ScrollDown", "40");
    values.PrevSectionKey = ReadKeyCode(path, "PrevSection", "37");
    values.NextSectionKey = ReadKeyCode(path, "NextSection", "39");
    values.PageUpKey = ReadKeyCode(path, "PageUp", "33");
    values.PageDownKey = ReadKeyCode(path, "PageDown", "34");
    values.FirstSectionKey = ReadKeyCode(path, "FirstSection", "36");
    values.LastSectionKey = ReadKeyCode(path, "LastSection", "35");
    values.Zoomed = ReadFlag(path, "Zoomed", "0");
    values.NoImages = ReadFlag(path, "NoImages", "0");
    values.NoFormatting = ReadFlag(path, "NoFormatting", "0");
    // Borders has no default: without it no key shows the control borders.
    std::string from;
    if (const auto text = ReadText(path, kInput, "Borders", std::nullopt, &from)) {
        const auto code = KeyCodeFromText(*text);
        if (!code) ThrowBadValue(from, kInput, "Borders", *text, kKeyCodeExpected);
        values.BordersKey = *code;
    }
    ReadControllerInputs(path, &values.ControllerInputs);
    values.Rotate = ReadRotation(path);
    values.Seconds = ReadCount(path, "Seconds", kMostSeconds);
    values.AnyKey = ReadFlag(path, "AnyKey", "0");
    values.Display = ReadCount(path, "Display", kMostDisplay);
    return values;
}

bool WriteSettings(const std::string& path, const SettingsValues& values, std::ostream& err) {
    const std::pair<std::string_view, bool> flags[] = {{"Zoomed", values.Zoomed},
                                                       {"NoImages", values.NoImages},
                                                       {"NoFormatting", values.NoFormatting}};
    for (const auto& [key, flag] : flags) {
        std::string error;
        if (!IniFile::WriteProfileString(path, kSettings, key, FlagText(flag), &error)) {
            // The next writes would fail for the same reason; one message is enough.
            err << "The view settings were not saved: " << error << '\n';
            return false;
        }
    }
    return true;
}

Files SettingsFiles(const std::string& app_path, const std::string& settings_file) {
    const std::string beside = SettingsPath(app_path);
    std::error_code ec;
    if (beside != settings_file && std::filesystem::exists(beside, ec))
        return {beside, settings_file};
    return {settings_file};
}

std::vector<std::string> SettingsWarnings(const Files& paths, const SettingsValues& values) {
    std::vector<std::string> warnings;
    std::error_code ec;
    for (const std::string& path : paths) {
        if (!std::filesystem::exists(path, ec)) continue;
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        const int error = fd < 0 ? errno : 0;
        struct stat info {};
        const bool folder = fd >= 0 && ::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode);
        if (fd >= 0) ::close(fd);
        if (fd < 0 || folder)
            warnings.push_back("the settings file \"" + path + "\" cannot be read (" +
                               (folder ? std::string("it is a folder") : std::strerror(error)) +
                               "): its settings are not used");
    }
    // The actions before exit in the order of precedence take a shared code first.
    const std::pair<std::string_view, std::int16_t> before[] = {
        {"ScrollUp", values.ScrollUpKey},
        {"ScrollDown", values.ScrollDownKey},
        {"PrevSection", values.PrevSectionKey},
        {"NextSection", values.NextSectionKey}};
    std::string why;
    for (const auto& [name, code] : before)
        if (code == values.ExitKey && why.empty())
            why = "its key " + std::to_string(values.ExitKey) + " is " + std::string(name) + "'s";
    // Windows virtual-key codes of keys run from 1 to 254.
    if (why.empty() && (values.ExitKey < 1 || values.ExitKey > 254))
        why = "no key has the code " + std::to_string(values.ExitKey);
    if (!why.empty()) {
        const auto& inputs = values.ControllerInputs[static_cast<std::size_t>(Action::Exit)];
        warnings.push_back("no key ends the viewer ([Input] Exit: " + why + "); " +
                           (inputs.empty() ? std::string("no controller input does either")
                                           : std::string("only a controller input does")));
    }
    return warnings;
}

void LoadSettings(Viewer& v) {
    const Files files = SettingsFiles(v.sys.AppPath(), v.sys.SettingsFile());
    const SettingsValues values = ReadSettings(files);
    for (const std::string& warning : SettingsWarnings(files, values)) {
        if (v.diagnostics)
            v.diagnostics->Report({files.back(), 0, 0}, document::Severity::Warning, warning);
        else
            std::cerr << "kavro: warning: " << warning << "\n";
    }
    v.ZoomKey = values.ZoomKey;
    v.ExitKey = values.ExitKey;
    v.RemoveImagesKey = values.RemoveImagesKey;
    v.RemoveFormattingKey = values.RemoveFormattingKey;
    v.ScrollUpKey = values.ScrollUpKey;
    v.ScrollDownKey = values.ScrollDownKey;
    v.PrevSectionKey = values.PrevSectionKey;
    v.NextSectionKey = values.NextSectionKey;
    v.PageUpKey = values.PageUpKey;
    v.PageDownKey = values.PageDownKey;
    v.FirstSectionKey = values.FirstSectionKey;
    v.LastSectionKey = values.LastSectionKey;
    v.BordersKey = values.BordersKey;
    v.Zoomed = values.Zoomed;
    v.NoImages = values.NoImages;
    v.NoFormatting = values.NoFormatting;
    v.ControllerInputs = values.ControllerInputs;
    v.Rotate = values.Rotate;
    v.Seconds = values.Seconds;
    v.AnyKey = values.AnyKey;
    v.Display = values.Display;
}

void SaveSettings(Viewer& v) {
    SettingsValues values;
    values.Zoomed = v.Zoomed;
    values.NoImages = v.NoImages;
    values.NoFormatting = v.NoFormatting;
    const std::string& path = v.sys.SettingsFile();
    // The configuration folder may not exist yet; a failure shows when the file is written.
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);
    WriteSettings(path, values, std::cerr);
}

}  // namespace kavro::app
