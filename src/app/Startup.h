#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/Viewer.h"
#include "cli/CommandWords.h"

namespace kavro::app {

// The message shown when the program is started without a command line; program is the
// program's name as it was invoked.
std::string UsageMessage(const std::string& program);

// Start-up: names from the command line, the settings file, the window shown at the screen's
// size. Returns false when the command line is empty (the usage message has been shown).
// Throws CommandLineError or SettingsError.
bool Main(Viewer& v);

// True when the item folder metadata/<name>/ exists below the program folder.
bool ItemFolderExists(const Viewer& v, const std::string& name);

// The one-shot start timer: disables itself and runs the first load.
void timLoad_Timer(Viewer& v);

}  // namespace kavro::app
