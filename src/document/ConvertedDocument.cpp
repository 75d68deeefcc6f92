#include "document/ConvertedDocument.h"

namespace kavro::document {

const Field& MacroTable::Get(int field, int column) const {
    static const Field kNothing;  // immutable
    if (!HasColumn(column) || field < 0 || field >= fields_) return kNothing;
    return columns_[static_cast<std::size_t>(column)][static_cast<std::size_t>(field)];
}

}  // namespace kavro::document
