// The dBase reader on arbitrary bytes: every field of every row, in every reading.

#include "formats/Dbase.h"
#include "formats/Error.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace almadia;
    try {
        const auto table =
            dbase::DbfReader::fromBytes(std::vector<std::uint8_t>(data, data + size), "FUZZ.DBF");
        for (const auto& field : table.fields()) table.fieldIndex(field.name);
        for (std::size_t row = 0; row < table.rowCount(); ++row) {
            for (int field = 0; field < static_cast<int>(table.fields().size()); ++field) {
                table.text(row, field);
                table.isNull(row, field);
                try {
                    table.integer(row, field);
                } catch (const Error&) {
                }
                try {
                    table.number(row, field);
                } catch (const Error&) {
                }
            }
        }
        dbase::toCsv(table);
    } catch (const Error&) {
    }
    return 0;
}
