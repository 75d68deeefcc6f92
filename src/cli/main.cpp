// The program a frontend starts. What needs no window (--help, --version, --list, a command
// line it refuses) is answered here; the viewer, with SDL and the libraries a window needs,
// is loaded only to show one. Loading those libraries costs more than a whole listing, and a
// frontend asks for one per game while the user scrolls.
#include <iostream>
#include <optional>
#include <string>

#include "cli/List.h"
#include "cli/Options.h"
#include "cli/Signals.h"
#include "cli/ViewerModule.h"

int main(int argc, char** argv) {
    using namespace kavro::app;
    Options options;
    if (const std::optional<int> status = TakeCommandLine(argc, argv, &options)) return *status;
    const std::string folder = ProgramFolder(argv[0]);
    if (options.list) return RunList(options, options.home ? *options.home : folder);
    // A frontend may end a viewer it has just started while the viewer is still loading.
    if (MayOpenWindow(options)) EndAtOnceOnSignals(true);
    std::string error;
    const ViewerEntry viewer = LoadViewer(folder, &error);
    if (!viewer) {
        std::cerr << "kavro: cannot load the viewer: " << error << "\n";
        return kExitEnvironment;
    }
    return viewer(argc, argv);
}
