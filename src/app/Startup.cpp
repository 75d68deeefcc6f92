#include "app/Startup.h"

#include <filesystem>
#include <system_error>

#include "app/LoadDriver.h"
#include "app/Resume.h"
#include "app/Settings.h"
#include "app/WindowGeometry.h"

namespace kavro::app {

std::string UsageMessage(const std::string& program) {
    return "Kavro will NOT run without command line options!\n\n"
           "USAGE:  " +
           program +
           " rom docname [stylename]\n\n"
           "Example:  " +
           program + " mk command";
}

bool ItemFolderExists(const Viewer& v, const std::string& name) {
    return ItemFolderExists(v.sys.MetadataRoots(), name);
}

bool Main(Viewer& v) {
    v.TileCarry = 0;
    const std::string command_line = v.sys.CommandLine();
    if (command_line.empty()) {
        v.sys.MsgBox(UsageMessage(v.ProgramName));
        return false;
    }
    std::vector<std::string> words = CommandWords(v.sys.Arguments());
    if (v.sys.Arguments().size() == 1) words = TakeItemWords(words, v.item);
    // A single word (or only blanks) names no document: going on would load something the
    // user did not ask for.
    if (words.size() < 2 || words[0].empty())
        throw CommandLineError("The command line \"" + command_line +
                               "\" names no document.\n\nUSAGE:  " + v.ProgramName +
                               " rom docname [stylename]");
    v.RomName = RomNameFromWord(words[0], [&v](const std::string& name) {
        return ItemFolderExists(v, import::ItemFolder(v.item, name));
    });
    if (v.RomName.empty())
        throw CommandLineError("The command line \"" + command_line + "\" names no item: \"" +
                               words[0] + "\" ends in a separator.");
    // Pictures and styles come from the item's folder, or from its parent's when it has none.
    v.itemFolder = import::ItemFolder(v.item, v.RomName);
    if (!v.item.parent.empty() && !ItemFolderExists(v, v.itemFolder) &&
        ItemFolderExists(v, import::ItemFolder(v.item, v.item.parent)))
        v.itemFolder = import::ItemFolder(v.item, v.item.parent);
    v.DocName = words[1];
    v.StyleName = words.size() > 2 ? words[2] : std::string();

    LoadSettings(v);
    // The viewer works on the screen as it is mounted.
    v.sys.SetRotation(v.Rotate);
    v.form.Rotation = v.Rotate;

    v.form.BorderStyle = 0;
    v.form.Move(0, 0, v.sys.ScreenWidth(), v.sys.ScreenHeight());
    return true;
}

void timLoad_Timer(Viewer& v) {
    v.form.timLoad.Enabled = false;
    app::cmdLoad_Click(v);
    RestorePlace(v);
}

}  // namespace kavro::app
