#include "cli/ViewerModule.h"

#include <dlfcn.h>
#include <unistd.h>

namespace kavro::app {

ViewerEntry LoadViewer(const std::string& program_folder, std::string* error) {
    std::string tried;
    for (const std::string& folder :
         {program_folder, program_folder + "/" + KAVRO_VIEWER_FROM_BIN}) {
        const std::string path = folder + "/" + kViewerModule;
        if (::access(path.c_str(), F_OK) != 0) {
            tried += (tried.empty() ? "" : ", ") + path;
            continue;
        }
        // Never closed: what the viewer leaves to the end of the process (SDL's, the fonts')
        // lives in the module.
        void* module = ::dlopen(path.c_str(), RTLD_LAZY | RTLD_LOCAL);
        if (!module) {
            const char* why = ::dlerror();  // names the library that is missing, if one is
            *error = why ? why : path + " cannot be loaded";
            return nullptr;
        }
        if (void* entry = ::dlsym(module, kViewerEntry))
            return reinterpret_cast<ViewerEntry>(entry);
        *error = path + " has no " + kViewerEntry;
        return nullptr;
    }
    *error = "no " + std::string(kViewerModule) + " (looked for " + tried + ")";
    return nullptr;
}

}  // namespace kavro::app
