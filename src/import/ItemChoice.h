#pragma once

#include <string>

namespace kavro::import {

// Which item the command line means beyond its name: the software list it belongs to
// (--system nes) and the parent (--parent sf2) that stands in when the item has no document
// and no entry of its own.
struct ItemChoice {
    std::string system;  // empty: a machine
    std::string parent;  // empty: none
};

// The item's folder below metadata/: "<system>/<name>" for a software-list item, else the
// name.
inline std::string ItemFolder(const ItemChoice& choice, const std::string& name) {
    return choice.system.empty() ? name : choice.system + "/" + name;
}

}  // namespace kavro::import
