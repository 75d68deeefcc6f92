#include "app/Settings.h"

#include <filesystem>
#include <iostream>
#include <string_view>
#include <utility>

#include "app/IniFile.h"
#include "app/Viewer.h"
#include "document/Conversions.h"
#include "toolkit/KeyCodes.h"
#include "toolkit/Services.h"

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
std::optional<std::string> ReadText(const std::string& path, std::string_view section,
                                    std::string_view key,
                                    std::optional<std::string_view> default_text) {
    std::optional<std::string> value = IniFile::GetProfileString(path, section, key);
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

std::int16_t ReadKeyCode(const std::string& path, std::string_view key,
                         std::string_view default_text) {
    const std::string text = *ReadText(path, kInput, key, default_text);
    const auto code = KeyCodeFromText(text);
    if (!code) ThrowBadValue(path, kInput, key, text, kKeyCodeExpected);
    return *code;
}

bool ReadFlag(const std::string& path, std::string_view key, std::string_view default_text) {
    const std::string text = *ReadText(path, kSettings, key, default_text);
    const auto flag = document::ToBoolean(text);
    if (!flag) ThrowBadValue(path, kSettings, key, text, "a flag (True, False or a number)");
    return *flag;
}

// An optional whole number of [Settings] from 0 to most; absent gives 0.
int ReadCount(const std::string& path, std::string_view key, int most) {
    const auto text = ReadText(path, kSettings, key, std::nullopt);
    if (!text) return 0;
    const auto value = document::ToInteger(*text);
    if (!value || *value < 0 || *value > most)
        ThrowBadValue(path, kSettings, key, *text,
                      "a whole number from 0 to " + std::to_string(most));
    return *value;
}

int ReadRotation(const std::string& path) {
    const auto text = ReadText(path, kSettings, "Rotate", std::nullopt);
    if (!text) return 0;
    const auto degrees = document::ToInteger(*text);
    if (!degrees || (*degrees != 0 && *degrees != 90 && *degrees != 180 && *degrees != 270))
        ThrowBadValue(path, kSettings, "Rotate", *text, "a rotation (0, 90, 180 or 270)");
    return *degrees;
}

// An action without a line keeps its default inputs; an empty value gives it none.
void ReadControllerInputs(const std::string& path, ControllerMap* map) {
    for (std::size_t i = 0; i < kActionCount; ++i) {
        const auto text = ReadText(path, kJoystick, kActionNames[i], std::nullopt);
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
    if (const auto text = ReadText(path, kInput, "Borders", std::nullopt)) {
        const auto code = KeyCodeFromText(*text);
        if (!code) ThrowBadValue(path, kInput, "Borders", *text, kKeyCodeExpected);
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

void LoadSettings(Viewer& v) {
    const SettingsValues values = ReadSettings(v.sys.SettingsFile());
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
