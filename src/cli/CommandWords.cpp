#include "cli/CommandWords.h"

#include <filesystem>
#include <system_error>

namespace kavro::app {

std::vector<std::string> SplitWords(const std::string& command_line) {
    std::size_t start = 0;
    std::size_t end = command_line.size();
    while (start < end && command_line[start] == ' ')
        ++start;
    while (end > start && command_line[end - 1] == ' ')
        --end;
    std::vector<std::string> words;
    std::size_t from = start;
    for (;;) {
        const std::size_t at = command_line.find(' ', from);
        if (at == std::string::npos || at >= end) {
            words.push_back(command_line.substr(from, end - from));
            return words;
        }
        words.push_back(command_line.substr(from, at - from));
        from = at + 1;
    }
}

std::vector<std::string> CommandWords(const std::vector<std::string>& arguments) {
    if (arguments.size() == 1) return SplitWords(arguments.front());
    return arguments;
}

std::string RomNameFromWord(const std::string& word,
                            const std::function<bool(const std::string&)>& folder_exists) {
    if (folder_exists(word)) return word;
    const std::size_t slash = word.find_last_of("/\\");
    std::string name = slash == std::string::npos ? word : word.substr(slash + 1);
    // A frontend passes the game's file: the item is its name without the extension. A name
    // that only begins with a dot has no extension.
    if (const std::size_t dot = name.rfind('.'); dot != std::string::npos && dot > 0)
        name.resize(dot);
    return name;
}

bool IsLauncherLine(const std::string& argument) {
    if (!argument.starts_with("--")) return false;
    return argument.substr(0, argument.find('=')).find(' ') != std::string::npos;
}

void TakeItemOption(import::ItemChoice& item, const std::string& name, const std::string& value) {
    // The value becomes a folder name and an index key: one plain name.
    if (value.empty() || value == "." || value == ".." ||
        value.find_first_of("/\\ :,") != std::string::npos)
        throw std::invalid_argument(
            name + " takes one name (" +
            (name == "--system" ? "a software list, such as nes" : "the parent rom, such as sf2") +
            "), not \"" + value + "\"");
    (name == "--system" ? item.system : item.parent) = value;
}

std::vector<std::string> TakeItemWords(const std::vector<std::string>& words,
                                       import::ItemChoice& item) {
    std::vector<std::string> rest;
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        const std::string name = word.substr(0, word.find('='));
        if (name != "--system" && name != "--parent") {
            rest.push_back(word);
            continue;
        }
        try {
            if (name.size() < word.size())
                TakeItemOption(item, name, word.substr(name.size() + 1));
            else if (i + 1 < words.size())
                TakeItemOption(item, name, words[++i]);
            else
                throw std::invalid_argument(name + " needs a value");
        } catch (const std::invalid_argument& e) {
            throw CommandLineError(std::string("kavro: ") + e.what());
        }
    }
    return rest;
}

bool ItemFolderExists(const std::vector<std::string>& roots, const std::string& name) {
    if (name.empty()) return false;
    // Joined as text, the way the load driver builds the item's path: a word that is an
    // absolute path must not replace the program folder.
    std::error_code ec;
    for (const std::string& root : roots)
        if (std::filesystem::is_directory(root + "/" + name, ec)) return true;
    return false;
}

}  // namespace kavro::app
