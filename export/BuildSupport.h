#pragma once

// Small helpers shared by the table builders (not part of the core's interface).

#include "export/ConversionRun.h"
#include "formats/CentroDocument.h"
#include "formats/Text.h"

#include <string>
#include <string_view>

namespace almadia::build {

// "Profesor n.º 3 (línea 12, código 'JGP')": an element by its 1-based position in its list,
// with its line and an optional detail, for messages.
inline std::string describe(std::string_view element, std::size_t position, const CentroElement& node,
                            const std::string& detail = {}) {
    std::string out = std::string(element) + " n.º " + std::to_string(position);
    std::string inside;
    if (const long line = node.line(); line > 0) inside = "línea " + std::to_string(line);
    if (!detail.empty()) inside += (inside.empty() ? "" : ", ") + detail;
    if (!inside.empty()) out += " (" + inside + ")";
    return out;
}

// A Windows-1252 value inQuotes for a UTF-8 message.
inline std::string inQuotes(std::string_view cp1252) {
    return "'" + text::cp1252ToUtf8(cp1252) + "'";
}

// A new empty table appended to the run's tables.
inline dbase::Table& newTable(BuildContext& context, const dbase::TableLayout& layout) {
    context.tables.push_back(dbase::Table{&layout, {}});
    return context.tables.back();
}

} // namespace almadia::build
