#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "document/Conversions.h"

namespace kavro::document {

// A two-dimensional macro table: a fixed number of fields per column, one column per macro.
// Column 0 is never filled; macros are columns 1 to UBound(). A field holds text or nothing.
class MacroTable {
  public:
    explicit MacroTable(int fields) : fields_(fields) { Clear(); }

    // Back to the single empty column 0.
    void Clear() { columns_.assign(1, std::vector<Field>(static_cast<std::size_t>(fields_))); }
    // Extends the table by one empty column, keeping what it holds; returns its index.
    int AddColumn() {
        columns_.emplace_back(static_cast<std::size_t>(fields_));
        return UBound();
    }
    int UBound() const { return static_cast<int>(columns_.size()) - 1; }
    int Fields() const { return fields_; }
    bool HasColumn(int column) const { return column >= 0 && column <= UBound(); }
    // The field, or nothing when the column or field does not exist.
    const Field& Get(int field, int column) const;
    Field& At(int field, int column) {  // the caller checks HasColumn
        return columns_[static_cast<std::size_t>(column)][static_cast<std::size_t>(field)];
    }
    const std::vector<std::vector<Field>>& Columns() const { return columns_; }
    bool operator==(const MacroTable&) const = default;

  private:
    int fields_;
    std::vector<std::vector<Field>> columns_;
};

// The converted form of the loaded documents: one markup string per section, the macro tables,
// the line width and the info text. Element 0 of SectionMarkup is never written.
struct ConvertedDocument {
    std::vector<std::string> SectionMarkup{std::string()};
    std::string SectionBuffer;
    MacroTable FontMacros{5};  // name, size %, red, green, blue
    MacroTable BgMacros{6};    // name, style, red, green, blue, picture source
    std::int16_t LineChars = 0;
    std::string InfoText;

    int SectionCount() const { return static_cast<int>(SectionMarkup.size()) - 1; }
};

}  // namespace kavro::document
