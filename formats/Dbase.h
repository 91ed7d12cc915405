#pragma once

// dBase tables: the level-7 writer of the working tables (with the COUNTSES production index)
// and a reader of the levels other programs write (dBase III+/IV/5/7, Visual FoxPro).

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace almadia::dbase {

// Logical field types of the working tables (physical: C, L, I(4), O(8)).
enum class FieldType { String, Boolean, Integer, Float };

struct FieldDef {
    std::string name;
    FieldType type;
    int width; // string width; ignored for the other types
};

struct TableLayout {
    std::string name; // "ASIGNOMT": files ASIGNOMT.DBF and ASIGNOMT.MDX
    std::vector<FieldDef> fields;
    std::optional<std::string> index; // the one production-index tag (COUNTSES: "NSES" on NSES)

    int fieldIndex(std::string_view fieldName) const; // exact; -1 when absent
};

// A value to write: null (never written), Windows-1252 text, boolean, integer, float.
using Value = std::variant<std::monostate, std::string, bool, std::int32_t, double>;

// One row, values in layout order (a shorter row leaves the rest null).
using Row = std::vector<Value>;

// The rows of a table, kept in one compact buffer (a large centre gives hundreds of thousands of
// rows); a row is decoded back into values on access. Values are kept exactly as appended.
class RowList {
public:
    RowList() = default;
    RowList(std::initializer_list<Row> rows) {
        for (const auto& row : rows) push_back(row);
    }

    void push_back(const Row& row);
    void reserve(std::size_t rows, std::size_t bytesPerRow = 48);
    void clear();

    std::size_t size() const { return starts_.size(); }
    bool empty() const { return starts_.empty(); }
    Row operator[](std::size_t i) const;
    Row at(std::size_t i) const;
    Row back() const { return at(size() - 1); }
    // Decodes row i into `out`, reusing its storage.
    void decode(std::size_t i, Row& out) const;

    class const_iterator {
    public:
        using iterator_category = std::input_iterator_tag;
        using value_type = Row;
        using difference_type = std::ptrdiff_t;
        using pointer = void;
        using reference = Row;

        const_iterator(const RowList* list, std::size_t i) : list_(list), i_(i) {}
        Row operator*() const { return (*list_)[i_]; }
        const_iterator& operator++() {
            ++i_;
            return *this;
        }
        bool operator==(const const_iterator& other) const { return i_ == other.i_; }
        bool operator!=(const const_iterator& other) const { return i_ != other.i_; }

    private:
        const RowList* list_;
        std::size_t i_;
    };
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, size()}; }

private:
    std::vector<char> bytes_;
    std::vector<std::size_t> starts_;
};

struct Table {
    const TableLayout* layout;
    RowList rows;
};

struct Date {
    int year, month, day; // e.g. 2026, 12, 11
};
Date today();

// The bytes of NAME.DBF at level 7 (texts cut to their width).
std::vector<std::uint8_t> encodeTable(const Table& table, Date date);
// The bytes of NAME.MDX for a table with an index; empty vector when the layout has none.
std::vector<std::uint8_t> encodeIndex(const Table& table, Date date);

// Writes tables into the exchange folder. Every file is written first to a temporary file in
// the same folder and then renamed into place, so a failure never leaves a half-written table.
// For each table: NAME.DBF replaced; NAME.MDX replaced when the layout has an index, removed
// otherwise. Other spellings of the same names (name.dbf) are removed. `alsoRemove` lists
// further base names whose .DBF and .MDX are removed (CURSOST). Errors: Error naming the file.
void writeTables(const std::filesystem::path& folder, const std::vector<Table>& tables,
                 const std::vector<std::string>& alsoRemove = {});

// A table written by any program, read whole into memory and checked before use.
class DbfReader {
public:
    struct Field {
        std::string name; // as stored, upper case usually
        char type;        // 'C', 'N', 'F', 'L', 'D', 'I', 'O', 'B', ...
        int width;
        int decimals;
        std::size_t offset; // within the record, after the deletion flag
    };

    // Throws Error naming the file for a missing file or a header that lies.
    static DbfReader open(const std::filesystem::path& file);
    static DbfReader fromBytes(std::vector<std::uint8_t> bytes, const std::string& name);

    const std::string& name() const { return name_; }
    const std::vector<Field>& fields() const { return fields_; }
    // Field by name, case ignored; -1 when absent.
    int fieldIndex(std::string_view fieldName) const;
    // Like fieldIndex, but throws Error naming the table and field when absent.
    int requireField(std::string_view fieldName) const;

    // Live records only (deleted ones skipped), in record order.
    std::size_t rowCount() const { return rows_.size(); }

    // Text of a field: for C, the bytes without trailing blanks; for numbers, the value written
    // shortest with a comma before decimals ("3" for 3.0, "2,5"); for L "T"/"F"; for D YYYYMMDD;
    // null gives "".
    std::string text(std::size_t row, int field) const;
    // Whole number: numeric fields give their value (must be whole); text fields are converted and
    // a text that is not one gives "'%s' no es un valor entero válido" naming table, row, field.
    // A null numeric field reads as 0.
    std::int32_t integer(std::size_t row, int field) const;
    // Floating-point: as integer(), with "'%s' no es un valor punto flotante válido".
    double number(std::size_t row, int field) const;
    bool isNull(std::size_t row, int field) const;

private:
    std::string name_;
    std::vector<std::uint8_t> bytes_;
    std::vector<Field> fields_;
    std::vector<const std::uint8_t*> rows_; // start of each live record (past the flag byte)
    int version_ = 0;
};

// The table NAME.DBF of a folder, found whatever the case of its file name; a missing one is an
// Error naming the table and the folder ("No existe la tabla SOLUC en la carpeta de intercambio ...").
DbfReader openTable(const std::filesystem::path& folder, const std::string& name);

// Reads the NSES-style production index of a level-7 table back: the 1-based record numbers in
// key order (walking from the root tag). Throws Error on a malformed index.
std::vector<std::uint32_t> readIndexOrder(const std::filesystem::path& mdxFile, std::string_view tagName);

// The whole table as UTF-8 CSV: a header row with the field names, then one line per live row
// with every value as text() gives it; fields holding a comma, quote or line end are quoted.
std::string toCsv(const DbfReader& table);

} // namespace almadia::dbase
