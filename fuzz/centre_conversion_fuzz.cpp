// The centre document, from arbitrary bytes, through the whole conversion computed in memory.

#include "export/ConversionRun.h"
#include "formats/CentroDocument.h"
#include "formats/Dbase.h"
#include "formats/Error.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace almadia;
    try {
        const auto doc =
            CentroDocument::parse(std::string_view(reinterpret_cast<const char*>(data), size), "fuzz.xml");
        WindowState state;
        const auto tables = computeConversion(doc, state);
        const dbase::Date date{2026, 12, 11};
        for (const auto& table : tables) {
            dbase::encodeTable(table, date);
            dbase::encodeIndex(table, date);
        }
    } catch (const Error&) {
    }
    return 0;
}
