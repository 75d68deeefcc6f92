#include "cli/ViewerModule.h"

#include <dlfcn.h>
#include <sys/stat.h>

namespace kavro::app {

ViewerEntry LoadViewer(const std::string& program_folder, std::string* error) {
    std::string tried;
    for (const std::string& folder :
         {program_folder, program_folder + "/" + KAVRO_VIEWER_FROM_BIN}) {
        const std::string path = folder + "/" + kViewerModule;
        // stat, not access: access asks with the real user, while the loader opens the file
        // with the effective one (and its capabilities).
        struct stat status {};
        if (::stat(path.c_str(), &status) != 0) {
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
