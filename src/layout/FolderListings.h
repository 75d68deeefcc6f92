#pragma once

#include <map>
#include <string>
#include <unordered_map>

namespace kavro::layout {

// Finds files whose names were written with another letter case (documents are written on
// systems whose files ignore case). Each folder is listed once and kept until Forget().
class FolderListings {
  public:
    // The path itself when a normal file is there; otherwise the path with its file name
    // replaced by that of the normal file in the same folder whose name equals it ignoring
    // case (the first in byte order if several do); empty when there is none.
    std::string Find(const std::string& path);
    void Forget() { folders_.clear(); }

  private:
    // Per folder: the normal files by case-folded name, each the first such name in byte order.
    std::unordered_map<std::string, std::map<std::string, std::string>> folders_;
};

}  // namespace kavro::layout
