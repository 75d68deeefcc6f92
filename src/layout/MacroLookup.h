#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "layout/LayoutSection.h"

namespace kavro::layout {

// Font macro columns by the names a section uses: a move list names the same few macros on
// every line, and finding one by name folds the case of every macro's name.
class MacroLookup {
  public:
    int FontColumn(const Load& v, std::string_view name) {
        for (const auto& [known, column] : known_)
            if (known == name) return column;
        const int column = FindFontMacro(v, name);
        known_.emplace_back(std::string(name), column);
        return column;
    }

  private:
    std::vector<std::pair<std::string, int>> known_;
};

}  // namespace kavro::layout
