#include "app/Program.h"

// The entry the program looks up in the viewer module; the only name the module shows.
extern "C" __attribute__((visibility("default"))) int kavro_viewer_main(int argc, char** argv) {
    return kavro::app::RunProgram(argc, argv);
}
