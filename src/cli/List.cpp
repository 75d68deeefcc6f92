#include "cli/List.h"

#include <cstdlib>
#include <iostream>

#include "cli/CommandWords.h"
#include "cli/DocumentList.h"
#include "cli/ManualSettings.h"
#include "cli/SettingsError.h"
#include "forms/DataPaths.h"
#include "import/DatImport.h"
#include "import/ItemChoice.h"

namespace kavro::app {

int RunList(const Options& options, const std::string& home) {
    if (options.words.size() != 1) {
        std::cerr << "kavro: --list takes one game: kavro --list ROM\n";
        return kExitUsage;
    }
    const toolkit::DataPaths paths = toolkit::FindDataPaths(home);
    const std::vector<std::string>& roots = paths.metadata_roots;
    ListRequest request;
    request.item = options.item;
    request.rom = RomNameFromWord(options.words.front(), [&](const std::string& name) {
        return ItemFolderExists(roots, import::ItemFolder(request.item, name));
    });
    try {
        const ManualSettings manual = ReadManualSettings(paths.settings_file);
        request.manual_names = manual.names;
        request.manual_patterns = manual.patterns;
    } catch (const SettingsError& e) {
        std::cerr << e.what() << "\n";
        return kExitSettings;
    }
    if (const char* home_env = std::getenv("HOME"); home_env && *home_env == '/')
        request.home = home_env;
    import::DatLibrary library;
    const auto documents = ListDocuments(roots, request, library);
    std::cout << FormatListing(documents, home) << std::flush;
    return documents.empty() ? kExitLoad : kExitOk;
}

}  // namespace kavro::app
