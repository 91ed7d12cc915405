#include "formats/Dbase.h"

#include "formats/Error.h"
#include "formats/ExchangeFolder.h"
#include "formats/Text.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <limits>
#include <set>
#include <system_error>

namespace almadia::dbase {

namespace {

constexpr std::size_t level7HeaderSize = 68;
constexpr std::size_t level7DescriptorSize = 48;
constexpr char languageDriver[] = "DBWINUS0";
// The id that goes with DBWINUS0 in the index header. A reader compares it with the table's
// driver name and ignores an index whose id does not match (0x58 would be DBWINWE0).
constexpr std::uint8_t languageId = 0x57;

constexpr std::size_t pageSize = 512;
constexpr std::size_t blockSize = 1024;
constexpr std::size_t pagesPerBlock = blockSize / pageSize;
constexpr std::size_t keyLength = 12;
constexpr std::size_t keyItemLength = 16;
constexpr std::size_t keysPerNode = 63;
constexpr std::size_t tagTableOffset = 544;
constexpr std::size_t firstTagHeaderPage = 4;
// The block after the tag header stays empty, as level-7 engines leave it; nodes follow.
constexpr std::size_t firstNodePage = 8;

void put16(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

void put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::uint32_t get16(const std::uint8_t* p) {
    return p[0] | (p[1] << 8);
}

std::uint32_t get32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::string quoted(const std::string& utf8) {
    return "«" + utf8 + "»";
}

std::string pathText(const std::filesystem::path& path) {
    return quoted(path.string());
}

char physicalType(FieldType type) {
    switch (type) {
    case FieldType::String:
        return 'C';
    case FieldType::Boolean:
        return 'L';
    case FieldType::Integer:
        return 'I';
    case FieldType::Float:
        return 'O';
    }
    return 'C';
}

int physicalWidth(const FieldDef& field) {
    switch (field.type) {
    case FieldType::String:
        return field.width;
    case FieldType::Boolean:
        return 1;
    case FieldType::Integer:
        return 4;
    case FieldType::Float:
        return 8;
    }
    return field.width;
}

// The value written shortest, with a comma before decimals: 3.0 gives "3", 2.5 gives "2,5".
std::string shortestNumber(double value) {
    if (value == 0) return "0";
    char buffer[400];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    std::string s(buffer, result.ptr);
    std::replace(s.begin(), s.end(), '.', ',');
    return s;
}

std::string describeField(const std::string& table, const std::string& field) {
    return "la tabla " + quoted(table) + ", campo " + field;
}

bool parseWhole(std::string_view s, std::int32_t& out) {
    s = text::trimControls(s);
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    if (s.empty()) return false;
    auto result = std::from_chars(s.data(), s.data() + s.size(), out);
    return result.ec == std::errc() && result.ptr == s.data() + s.size();
}

bool parseFloat(std::string_view s, double& out) {
    std::string t(text::trimControls(s));
    if (!t.empty() && t.front() == '+') t.erase(0, 1);
    std::replace(t.begin(), t.end(), ',', '.');
    if (t.empty()) return false;
    auto result = std::from_chars(t.data(), t.data() + t.size(), out);
    return result.ec == std::errc() && result.ptr == t.data() + t.size() && std::isfinite(out);
}

// 32-bit integer as level 7 stores it: big-endian with the sign bit flipped.
void encodeInteger(std::uint8_t* at, std::int32_t value) {
    auto u = static_cast<std::uint32_t>(value) ^ 0x80000000u;
    for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(u >> (8 * (3 - i)));
}

std::int32_t decodeInteger(const std::uint8_t* at) {
    std::uint32_t u = 0;
    for (int i = 0; i < 4; ++i) u = (u << 8) | at[i];
    return static_cast<std::int32_t>(u ^ 0x80000000u);
}

// Double as level 7 stores it: big-endian IEEE, sign bit flipped for positives, all bits for negatives.
void encodeDouble(std::uint8_t* at, double value) {
    std::uint64_t u;
    std::memcpy(&u, &value, 8);
    if (u & 0x8000000000000000ull)
        u = ~u;
    else
        u ^= 0x8000000000000000ull;
    for (int i = 0; i < 8; ++i) at[i] = static_cast<std::uint8_t>(u >> (8 * (7 - i)));
}

double decodeDouble(const std::uint8_t* at) {
    std::uint64_t u = 0;
    for (int i = 0; i < 8; ++i) u = (u << 8) | at[i];
    if (u & 0x8000000000000000ull)
        u ^= 0x8000000000000000ull;
    else
        u = ~u;
    double value;
    std::memcpy(&value, &u, 8);
    return value;
}

double littleDouble(const std::uint8_t* at) {
    std::uint64_t u = 0;
    for (int i = 7; i >= 0; --i) u = (u << 8) | at[i];
    double value;
    std::memcpy(&value, &u, 8);
    return value;
}

void writeField(std::uint8_t* at, const FieldDef& field, const Value& value, const std::string& table) {
    const int width = physicalWidth(field);
    if (std::holds_alternative<std::monostate>(value)) {
        // Null: blanks for text and logical fields, zero bytes for binary numbers.
        std::fill(at, at + width,
                  field.type == FieldType::Integer || field.type == FieldType::Float ? 0 : ' ');
        return;
    }
    switch (field.type) {
    case FieldType::String: {
        std::fill(at, at + width, ' ');
        if (auto p = std::get_if<std::string>(&value)) {
            std::memcpy(at, p->data(), std::min<std::size_t>(p->size(), width));
            return;
        }
        std::string s;
        if (auto i = std::get_if<std::int32_t>(&value))
            s = std::to_string(*i);
        else if (auto d = std::get_if<double>(&value))
            s = shortestNumber(*d);
        else
            s = std::get<bool>(value) ? "T" : "F";
        std::memcpy(at, s.data(), std::min<std::size_t>(s.size(), width));
        return;
    }
    case FieldType::Boolean: {
        bool b;
        if (auto p = std::get_if<bool>(&value))
            b = *p;
        else if (auto i = std::get_if<std::int32_t>(&value))
            b = *i != 0;
        else if (auto s = std::get_if<std::string>(&value)) {
            auto t = text::trimControls(*s);
            b = t == "T" || t == "t" || t == "True" || t == "true";
            if (t.empty()) {
                *at = ' ';
                return;
            }
        } else
            b = std::get<double>(value) != 0;
        *at = b ? 'T' : 'F';
        return;
    }
    case FieldType::Integer: {
        std::int32_t v = 0;
        if (auto p = std::get_if<std::int32_t>(&value))
            v = *p;
        else if (auto b = std::get_if<bool>(&value))
            v = *b ? 1 : 0;
        else if (auto d = std::get_if<double>(&value)) {
            if (!(std::fabs(*d) < 2147483648.0))
                throw Error("'" + shortestNumber(*d) + "' no es un valor entero válido (" +
                            describeField(table, field.name) + ")");
            v = static_cast<std::int32_t>(std::lround(*d));
        } else if (!parseWhole(std::get<std::string>(value), v))
            throw Error("'" + text::cp1252ToUtf8(std::get<std::string>(value)) +
                        "' no es un valor entero válido (" + describeField(table, field.name) + ")");
        encodeInteger(at, v);
        return;
    }
    case FieldType::Float: {
        double v = 0;
        if (auto p = std::get_if<double>(&value))
            v = *p;
        else if (auto i = std::get_if<std::int32_t>(&value))
            v = *i;
        else if (auto b = std::get_if<bool>(&value))
            v = *b ? 1 : 0;
        else if (!parseFloat(std::get<std::string>(value), v))
            throw Error("'" + text::cp1252ToUtf8(std::get<std::string>(value)) +
                        "' no es un valor punto flotante válido (" + describeField(table, field.name) + ")");
        encodeDouble(at, v);
        return;
    }
    }
}

// The 12-byte numeric key of an index: exponent byte, digit-count byte, packed BCD digits.
std::array<std::uint8_t, keyLength> numericKey(std::int64_t value) {
    std::array<std::uint8_t, keyLength> key{};
    if (value == 0) {
        key[0] = 0x34;
        key[1] = 0x01;
        return key;
    }
    const bool negative = value < 0;
    std::string digits = std::to_string(negative ? -value : value);
    std::string significant = digits;
    while (significant.size() > 1 && significant.back() == '0') significant.pop_back();
    key[0] = static_cast<std::uint8_t>(0x34 + digits.size());
    key[1] = static_cast<std::uint8_t>((significant.size() << 2) | 1 | (negative ? 0x80 : 0));
    for (std::size_t i = 0; i < significant.size(); ++i) {
        auto nibble = static_cast<std::uint8_t>(significant[i] - '0');
        key[2 + i / 2] |= (i % 2 == 0) ? static_cast<std::uint8_t>(nibble << 4) : nibble;
    }
    return key;
}

std::string upper(std::string s) {
    for (auto& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

} // namespace

Date today() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

namespace {

enum class Tag : char { Null, Text, False, True, Integer, Float };

template <typename T> T take(const char*& p) {
    T value;
    std::memcpy(&value, p, sizeof value);
    p += sizeof value;
    return value;
}

} // namespace

void RowList::push_back(const Row& row) {
    std::size_t size = row.size(); // one tag byte a value
    for (const auto& value : row) {
        if (const auto* s = std::get_if<std::string>(&value))
            size += sizeof(std::uint64_t) + s->size();
        else if (std::holds_alternative<std::int32_t>(value))
            size += sizeof(std::int32_t);
        else if (std::holds_alternative<double>(value))
            size += sizeof(double);
    }
    const std::size_t start = bytes_.size();
    starts_.push_back(start);
    bytes_.resize(start + size);
    char* p = bytes_.data() + start;
    auto put = [&p](const void* data, std::size_t n) {
        std::memcpy(p, data, n);
        p += n;
    };
    for (const auto& value : row) {
        if (const auto* s = std::get_if<std::string>(&value)) {
            *p++ = static_cast<char>(Tag::Text);
            const auto length = static_cast<std::uint64_t>(s->size());
            put(&length, sizeof length);
            put(s->data(), s->size());
        } else if (const auto* b = std::get_if<bool>(&value)) {
            *p++ = static_cast<char>(*b ? Tag::True : Tag::False);
        } else if (const auto* i = std::get_if<std::int32_t>(&value)) {
            *p++ = static_cast<char>(Tag::Integer);
            put(i, sizeof *i);
        } else if (const auto* d = std::get_if<double>(&value)) {
            *p++ = static_cast<char>(Tag::Float);
            put(d, sizeof *d);
        } else {
            *p++ = static_cast<char>(Tag::Null);
        }
    }
}

void RowList::reserve(std::size_t rows, std::size_t bytesPerRow) {
    starts_.reserve(rows);
    bytes_.reserve(rows * bytesPerRow);
}

void RowList::clear() {
    bytes_.clear();
    starts_.clear();
}

void RowList::decode(std::size_t i, Row& out) const {
    const char* p = bytes_.data() + starts_[i];
    const char* end = bytes_.data() + (i + 1 < starts_.size() ? starts_[i + 1] : bytes_.size());
    std::size_t n = 0;
    for (; p < end; ++n) {
        if (n == out.size()) out.emplace_back();
        Value& value = out[n];
        switch (static_cast<Tag>(*p++)) {
        case Tag::Text: {
            const auto length = take<std::uint64_t>(p);
            if (auto* s = std::get_if<std::string>(&value))
                s->assign(p, length);
            else
                value = std::string(p, length);
            p += length;
            break;
        }
        case Tag::False:
            value = false;
            break;
        case Tag::True:
            value = true;
            break;
        case Tag::Integer:
            value = take<std::int32_t>(p);
            break;
        case Tag::Float:
            value = take<double>(p);
            break;
        case Tag::Null:
            value = std::monostate{};
            break;
        }
    }
    out.resize(n);
}

Row RowList::operator[](std::size_t i) const {
    Row row;
    decode(i, row);
    return row;
}

Row RowList::at(std::size_t i) const {
    if (i >= size()) throw std::out_of_range("RowList::at");
    return (*this)[i];
}

std::vector<std::uint8_t> encodeTable(const Table& table, Date date) {
    const TableLayout& layout = *table.layout;
    const std::size_t fieldCount = layout.fields.size();
    const std::size_t headerLength = level7HeaderSize + level7DescriptorSize * fieldCount + 1;
    std::size_t recordLength = 1;
    for (const auto& f : layout.fields) recordLength += physicalWidth(f);
    if (headerLength > 0xFFFF || recordLength > 0xFFFF)
        throw Error("La tabla " + quoted(layout.name) + " tiene demasiados campos para el formato dBase");
    std::vector<std::uint8_t> b(headerLength + recordLength * table.rows.size() + 1, 0);
    b[0] = 0x04;
    b[1] = static_cast<std::uint8_t>(std::clamp(date.year - 1900, 0, 255));
    b[2] = static_cast<std::uint8_t>(date.month);
    b[3] = static_cast<std::uint8_t>(date.day);
    put32(b, 4, static_cast<std::uint32_t>(table.rows.size()));
    put16(b, 8, static_cast<std::uint32_t>(headerLength));
    put16(b, 10, static_cast<std::uint32_t>(recordLength));
    b[28] = layout.index ? 1 : 0;
    std::memcpy(&b[32], languageDriver, sizeof languageDriver - 1);

    for (std::size_t i = 0; i < fieldCount; ++i) {
        const FieldDef& f = layout.fields[i];
        const std::size_t at = level7HeaderSize + level7DescriptorSize * i;
        std::string name = upper(f.name).substr(0, 31);
        std::memcpy(&b[at], name.data(), name.size());
        b[at + 32] = static_cast<std::uint8_t>(physicalType(f.type));
        b[at + 33] = static_cast<std::uint8_t>(physicalWidth(f));
        b[at + 37] = layout.index && *layout.index == f.name ? 1 : 0;
    }
    b[headerLength - 1] = 0x0D;

    std::size_t at = headerLength;
    Row row;
    for (std::size_t r = 0; r < table.rows.size(); ++r) {
        table.rows.decode(r, row);
        if (row.size() > fieldCount)
            throw Error("Una fila de la tabla " + quoted(layout.name) + " tiene más valores que campos");
        b[at] = 0x20;
        std::size_t offset = at + 1;
        for (std::size_t i = 0; i < fieldCount; ++i) {
            static const Value null;
            writeField(&b[offset], layout.fields[i], i < row.size() ? row[i] : null, layout.name);
            offset += physicalWidth(layout.fields[i]);
        }
        at += recordLength;
    }
    b[at] = 0x1A;
    return b;
}

std::vector<std::uint8_t> encodeIndex(const Table& table, Date date) {
    const TableLayout& layout = *table.layout;
    if (!layout.index) return {};
    const int field = layout.fieldIndex(*layout.index);
    if (field < 0 || layout.fields[field].type != FieldType::Integer)
        throw Error("El índice " + *layout.index + " de la tabla " + quoted(layout.name) +
                    " no corresponde a un campo entero");

    // Keys in ascending order, equal keys in record order.
    struct Entry {
        std::int32_t key;
        std::uint32_t record;
    };
    std::vector<Entry> entries;
    entries.reserve(table.rows.size());
    Row row;
    for (std::size_t r = 0; r < table.rows.size(); ++r) {
        std::int32_t key = 0;
        table.rows.decode(r, row);
        if (static_cast<std::size_t>(field) < row.size()) {
            if (auto i = std::get_if<std::int32_t>(&row[field]))
                key = *i;
            else if (auto d = std::get_if<double>(&row[field]))
                key = static_cast<std::int32_t>(std::lround(*d));
            else if (auto s = std::get_if<std::string>(&row[field]))
                parseWhole(*s, key);
            else if (auto b = std::get_if<bool>(&row[field]))
                key = *b ? 1 : 0;
        }
        entries.push_back({key, static_cast<std::uint32_t>(r + 1)});
    }
    std::stable_sort(entries.begin(), entries.end(),
                     [](const Entry& a, const Entry& b) { return a.key < b.key; });

    // Nodes bottom-up: leaves hold up to 63 keys; an interior node holds up to 63 keys plus its
    // rightmost child, each key being the largest key of its child.
    struct Node {
        std::vector<std::uint32_t> pointers; // record numbers (leaf) or child pages
        std::vector<std::int32_t> keys;      // one per pointer
        bool leaf;
    };
    std::vector<Node> nodes;
    std::vector<std::size_t> level;
    std::size_t leafCount = std::max<std::size_t>(1, (entries.size() + keysPerNode - 1) / keysPerNode);
    for (std::size_t n = 0; n < leafCount; ++n) {
        Node node{{}, {}, true};
        for (std::size_t i = n * keysPerNode; i < std::min(entries.size(), (n + 1) * keysPerNode); ++i) {
            node.pointers.push_back(entries[i].record);
            node.keys.push_back(entries[i].key);
        }
        level.push_back(nodes.size());
        nodes.push_back(std::move(node));
    }
    const auto pageOf = [](std::size_t node) {
        return static_cast<std::uint32_t>(firstNodePage + pagesPerBlock * node);
    };
    while (level.size() > 1) {
        std::vector<std::size_t> upperLevel;
        const std::size_t childrenPerNode = keysPerNode + 1;
        for (std::size_t start = 0; start < level.size(); start += childrenPerNode) {
            Node node{{}, {}, false};
            for (std::size_t i = start; i < std::min(level.size(), start + childrenPerNode); ++i) {
                node.pointers.push_back(pageOf(level[i]));
                node.keys.push_back(nodes[level[i]].keys.back());
            }
            upperLevel.push_back(nodes.size());
            nodes.push_back(std::move(node));
        }
        level = std::move(upperLevel);
    }
    const std::size_t root = level.front();

    const std::size_t pages = firstNodePage + pagesPerBlock * nodes.size();
    std::vector<std::uint8_t> b(pages * pageSize, 0);
    const auto y = static_cast<std::uint8_t>(std::clamp(date.year - 1900, 0, 255));
    const auto m = static_cast<std::uint8_t>(date.month);
    const auto d = static_cast<std::uint8_t>(date.day);

    b[0] = 0x03;
    b[1] = y, b[2] = m, b[3] = d;
    std::string base = upper(layout.name).substr(0, 16);
    std::memcpy(&b[4], base.data(), base.size());
    put16(b, 20, pagesPerBlock);
    put16(b, 22, blockSize);
    b[24] = 1;
    b[25] = 48;
    b[26] = 32;
    put16(b, 28, 1);
    b[31] = languageId;
    put32(b, 32, static_cast<std::uint32_t>(pages));
    b[44] = y, b[45] = m, b[46] = d;
    b[529] = 1;

    const std::string tag = upper(*layout.index).substr(0, 32);
    std::size_t entry = tagTableOffset;
    put32(b, entry, firstTagHeaderPage);
    std::memcpy(&b[entry + 4], tag.data(), tag.size());
    b[entry + 37] = 0x10;
    b[entry + 41] = 0x02;
    b[entry + 42] = 'N';

    std::size_t header = firstTagHeaderPage * pageSize;
    put32(b, header, pageOf(root));
    put32(b, header + 4, static_cast<std::uint32_t>(pages - firstTagHeaderPage));
    b[header + 9] = 'N';
    put16(b, header + 12, keyLength);
    put16(b, header + 14, keysPerNode);
    put16(b, header + 18, keyItemLength);
    b[header + 20] = 1;
    const std::string expression = layout.fields[field].name;
    std::memcpy(&b[header + 24], expression.data(), expression.size());
    b[header + 246] = entries.empty() ? 0 : 1;

    for (std::size_t n = 0; n < nodes.size(); ++n) {
        const Node& node = nodes[n];
        const std::size_t at = pageOf(n) * pageSize;
        const std::size_t items = node.leaf ? node.pointers.size() : node.pointers.size() - 1;
        put32(b, at, static_cast<std::uint32_t>(items));
        std::size_t p = at + 8;
        for (std::size_t i = 0; i < node.pointers.size(); ++i) {
            put32(b, p, node.pointers[i]);
            auto key = numericKey(node.keys[i]);
            std::memcpy(&b[p + 4], key.data(), keyLength);
            p += keyItemLength;
        }
        // A leaf ends with a zero word (already there); an interior node's last item above is
        // its rightmost child, stored after the counted items.
    }
    return b;
}

// ---------------------------------------------------------------------------------------------
// Writing into the exchange folder.

namespace {

void writeFile(const std::filesystem::path& file, const std::vector<std::uint8_t>& bytes,
               const std::filesystem::path& target) {
#ifdef _WIN32
    std::FILE* out = _wfopen(file.c_str(), L"wb");
#else
    std::FILE* out = std::fopen(file.c_str(), "wb");
#endif
    if (!out) throw Error("No se puede crear el archivo " + pathText(target) + ": " + systemReason(errno));
    errno = 0;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    ok = std::fflush(out) == 0 && ok;
    int error = errno;
    ok = std::fclose(out) == 0 && ok;
    if (!error) error = errno;
    if (!ok)
        throw Error("No se puede escribir el archivo " + pathText(target) + ": " +
                    systemReason(error ? error : EIO));
}

// Every file in `folder` whose name equals `name` ignoring case.
std::vector<std::filesystem::path> spellingsOf(const std::filesystem::path& folder, const std::string& name) {
    std::vector<std::filesystem::path> found;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        if (text::equalsIgnoreCase(it->path().filename().string(), name)) found.push_back(it->path());
    return found;
}

void removeQuietly(const std::filesystem::path& file) {
    std::error_code ec;
    if (!std::filesystem::is_directory(file, ec)) std::filesystem::remove(file, ec);
}

} // namespace

void writeTables(const std::filesystem::path& folder, const std::vector<Table>& tables,
                 const std::vector<std::string>& alsoRemove) {
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec))
        throw Error("No existe la carpeta de intercambio " + pathText(folder));

    struct Pending {
        std::filesystem::path temporary;
        std::filesystem::path target;
    };
    std::vector<Pending> pending;
    const auto discard = [&pending] {
        for (const auto& p : pending) removeQuietly(p.temporary);
    };

    const Date date = today();
    try {
        for (const auto& table : tables) {
            const std::string& name = table.layout->name;
            std::vector<std::pair<std::string, std::vector<std::uint8_t>>> files;
            files.emplace_back(name + ".DBF", encodeTable(table, date));
            if (table.layout->index) files.emplace_back(name + ".MDX", encodeIndex(table, date));
            for (auto& [fileName, bytes] : files) {
                Pending p{folder / ("~" + fileName + ".tmp"), folder / fileName};
                // Checked before anything is renamed, so the old tables all stay as they were.
                if (std::filesystem::is_directory(p.target, ec))
                    throw Error("No se puede reemplazar el archivo " + pathText(p.target) + ": " +
                                systemReason(EISDIR));
                pending.push_back(p);
                writeFile(p.temporary, bytes, p.target);
            }
        }
    } catch (...) {
        discard();
        throw;
    }

    // Every new file is complete on disk: put them in place.
    for (std::size_t i = 0; i < pending.size(); ++i) {
        const auto& p = pending[i];
        std::filesystem::rename(p.temporary, p.target, ec);
        if (ec) {
            const std::string reason =
                std::filesystem::is_directory(p.target) ? systemReason(EISDIR) : systemReason(ec);
            for (std::size_t j = i; j < pending.size(); ++j) removeQuietly(pending[j].temporary);
            throw Error("No se puede reemplazar el archivo " + pathText(p.target) + ": " + reason);
        }
        // Only after the rename: on a case-insensitive file system "proft.dbf" is the file just replaced.
        for (const auto& other : spellingsOf(folder, p.target.filename().string()))
            if (other.filename() != p.target.filename()) removeQuietly(other);
    }

    for (const auto& table : tables)
        if (!table.layout->index)
            for (const auto& stale : spellingsOf(folder, table.layout->name + ".MDX")) removeQuietly(stale);
    for (const auto& base : alsoRemove)
        for (const char* extension : {".DBF", ".MDX"})
            for (const auto& stale : spellingsOf(folder, base + extension)) removeQuietly(stale);
}

// ---------------------------------------------------------------------------------------------
// Reading tables written by any program.

namespace {

bool isLevel7(int version) {
    return version == 0x04 || version == 0x8C;
}
bool isFoxPro(int version) {
    return version == 0x30 || version == 0x31 || version == 0x32;
}
bool isClassic(int version) {
    return version == 0x03 || version == 0x83 || version == 0x8B || version == 0x8E || version == 0xF5;
}

} // namespace

DbfReader DbfReader::open(const std::filesystem::path& file) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec)) throw Error("No existe la tabla " + pathText(file));
    std::ifstream in(file, std::ios::binary);
    if (!in) throw Error("No se puede abrir la tabla " + pathText(file) + ": " + systemReason(errno));
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) throw Error("No se puede leer la tabla " + pathText(file));
    return fromBytes(std::move(bytes), file.string());
}

DbfReader DbfReader::fromBytes(std::vector<std::uint8_t> bytes, const std::string& name) {
    DbfReader r;
    r.name_ = name;
    r.bytes_ = std::move(bytes);
    const auto& b = r.bytes_;
    const auto fail = [&name](const std::string& what) -> Error {
        return Error("La tabla " + quoted(name) + " no es una tabla dBase válida: " + what);
    };
    if (b.size() < 32) throw fail("el archivo es demasiado corto");
    r.version_ = b[0];
    const bool level7 = isLevel7(r.version_);
    const bool fox = isFoxPro(r.version_);
    if (!level7 && !fox && !isClassic(r.version_)) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "0x%02X", r.version_);
        throw fail(std::string("versión ") + hex + " desconocida");
    }
    const std::size_t recordCount = get32(&b[4]);
    const std::size_t headerLength = get16(&b[8]);
    const std::size_t recordLength = get16(&b[10]);
    const std::size_t headerSize = level7 ? level7HeaderSize : 32;
    const std::size_t descriptorSize = level7 ? level7DescriptorSize : 32;
    if (headerLength > b.size()) throw fail("la cabecera es más larga que el archivo");
    if (headerLength < headerSize + 1) throw fail("la longitud de cabecera no es coherente con los campos");

    std::size_t at = headerSize;
    std::size_t offset = 0;
    while (true) {
        if (at >= headerLength) throw fail("la lista de campos no termina dentro de la cabecera");
        if (b[at] == 0x0D) break;
        if (at + descriptorSize > headerLength)
            throw fail("la longitud de cabecera no es coherente con los campos");
        Field f;
        const std::size_t nameLength = level7 ? 32 : 11;
        const auto* n = &b[at];
        f.name.assign(reinterpret_cast<const char*>(n), std::find(n, n + nameLength, std::uint8_t{0}) - n);
        const std::size_t typeAt = level7 ? 32 : 11;
        const std::size_t widthAt = level7 ? 33 : 16;
        f.type = static_cast<char>(b[at + typeAt]);
        f.width = b[at + widthAt];
        f.decimals = b[at + widthAt + 1];
        if (f.type == 'C' && !level7 && !fox && f.decimals) f.width += f.decimals * 256, f.decimals = 0;
        f.offset = offset;
        if (f.width == 0) throw fail("el campo " + text::cp1252ToUtf8(f.name) + " tiene anchura 0");
        if ((f.type == 'I' || f.type == '+') && f.width != 4)
            throw fail("el campo entero " + text::cp1252ToUtf8(f.name) + " no tiene anchura 4");
        if ((f.type == 'O' || (fox && f.type == 'B')) && f.width != 8)
            throw fail("el campo " + text::cp1252ToUtf8(f.name) + " no tiene anchura 8");
        offset += f.width;
        if (1 + offset > recordLength)
            throw fail("el campo " + text::cp1252ToUtf8(f.name) + " sobrepasa la longitud del registro");
        r.fields_.push_back(std::move(f));
        at += descriptorSize;
    }
    if (r.fields_.empty()) throw fail("no tiene campos");
    // A reader that took the first of two equal names would read a value the writer may not have meant.
    for (std::size_t i = 0; i < r.fields_.size(); ++i)
        for (std::size_t j = 0; j < i; ++j)
            if (text::equalsIgnoreCase(r.fields_[i].name, r.fields_[j].name))
                throw fail("el campo " + text::cp1252ToUtf8(r.fields_[i].name) + " aparece dos veces");
    if (1 + offset != recordLength) throw fail("la longitud de registro no es la suma de los campos");
    std::size_t minimumHeader = at + 1 + (fox ? 263 : 0);
    if (headerLength < minimumHeader) throw fail("la longitud de cabecera no es coherente con los campos");
    if (recordCount > (b.size() - headerLength) / recordLength)
        throw fail("anuncia " + std::to_string(recordCount) + " registros pero el archivo se acaba antes");

    for (std::size_t i = 0; i < recordCount; ++i) {
        const std::uint8_t* record = &b[headerLength + i * recordLength];
        if (*record == 0x2A) continue;
        r.rows_.push_back(record + 1);
    }
    return r;
}

int DbfReader::fieldIndex(std::string_view fieldName) const {
    for (std::size_t i = 0; i < fields_.size(); ++i)
        if (text::equalsIgnoreCase(fields_[i].name, fieldName)) return static_cast<int>(i);
    return -1;
}

int DbfReader::requireField(std::string_view fieldName) const {
    int i = fieldIndex(fieldName);
    if (i < 0)
        throw Error("La tabla " + quoted(name_) + " no tiene el campo " + text::cp1252ToUtf8(fieldName));
    return i;
}

namespace {

struct Raw {
    const std::uint8_t* data;
    std::size_t size;
    std::string_view view() const { return {reinterpret_cast<const char*>(data), size}; }
};

// A numeric field's value; false for null. Text fields are not numeric.
bool numericValue(const DbfReader::Field& f, Raw raw, int version, double& out, bool& isNumeric) {
    isNumeric = true;
    const bool level7 = isLevel7(version);
    switch (f.type) {
    case 'N':
    case 'F': {
        auto t = text::trimControls(raw.view());
        if (t.empty()) return false;
        if (!parseFloat(t, out)) return false;
        return true;
    }
    case 'I':
    case '+':
        if (level7) {
            if (std::all_of(raw.data, raw.data + 4, [](std::uint8_t c) { return c == 0; })) return false;
            out = decodeInteger(raw.data);
        } else {
            out = static_cast<std::int32_t>(get32(raw.data));
        }
        return true;
    case 'O':
        if (std::all_of(raw.data, raw.data + 8, [](std::uint8_t c) { return c == 0; })) return false;
        out = decodeDouble(raw.data);
        return true;
    case 'B':
        if (isFoxPro(version)) {
            out = littleDouble(raw.data);
            return true;
        }
        break;
    default:
        break;
    }
    isNumeric = false;
    return false;
}

Raw rawField(const std::vector<const std::uint8_t*>& rows, const std::vector<DbfReader::Field>& fields,
             std::size_t row, int field, const std::string& name) {
    if (row >= rows.size() || field < 0 || static_cast<std::size_t>(field) >= fields.size())
        throw Error("Acceso fuera de la tabla " + quoted(name));
    const auto& f = fields[field];
    return {rows[row] + f.offset, static_cast<std::size_t>(f.width)};
}

} // namespace

std::string DbfReader::text(std::size_t row, int field) const {
    Raw raw = rawField(rows_, fields_, row, field, name_);
    const Field& f = fields_[field];
    double value;
    bool numeric;
    if (numericValue(f, raw, version_, value, numeric)) return shortestNumber(value);
    if (numeric) {
        // Null, or an N field holding something that is not a number: give its text as it stands.
        return std::string(text::trimControls(raw.view()));
    }
    if (f.type == 'L') {
        char c = static_cast<char>(*raw.data);
        if (c == 'T' || c == 't' || c == 'Y' || c == 'y') return "T";
        if (c == 'F' || c == 'f' || c == 'N' || c == 'n') return "F";
        return "";
    }
    std::string_view s = raw.view();
    while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.remove_suffix(1);
    return std::string(s);
}

bool DbfReader::isNull(std::size_t row, int field) const {
    Raw raw = rawField(rows_, fields_, row, field, name_);
    double value;
    bool numeric;
    if (numericValue(fields_[field], raw, version_, value, numeric)) return false;
    if (numeric) return text::trimControls(raw.view()).empty();
    return text(row, field).empty();
}

std::int32_t DbfReader::integer(std::size_t row, int field) const {
    Raw raw = rawField(rows_, fields_, row, field, name_);
    const Field& f = fields_[field];
    double value;
    bool numeric;
    const auto fail = [&](const std::string& shown) {
        return Error("'" + text::cp1252ToUtf8(shown) + "' no es un valor entero válido (tabla " +
                     quoted(name_) + ", fila " + std::to_string(row + 1) + ", campo " +
                     text::cp1252ToUtf8(f.name) + ")");
    };
    if (numericValue(f, raw, version_, value, numeric)) {
        if (value != std::trunc(value) || value < std::numeric_limits<std::int32_t>::min() ||
            value > std::numeric_limits<std::int32_t>::max())
            throw fail(shortestNumber(value));
        return static_cast<std::int32_t>(value);
    }
    if (numeric) {
        if (text::trimControls(raw.view()).empty()) return 0;
        throw fail(std::string(text::trimControls(raw.view())));
    }
    std::string s = text(row, field);
    std::int32_t out;
    if (!parseWhole(s, out)) throw fail(s);
    return out;
}

double DbfReader::number(std::size_t row, int field) const {
    Raw raw = rawField(rows_, fields_, row, field, name_);
    const Field& f = fields_[field];
    double value;
    bool numeric;
    const auto fail = [&](const std::string& shown) {
        return Error("'" + text::cp1252ToUtf8(shown) + "' no es un valor punto flotante válido (tabla " +
                     quoted(name_) + ", fila " + std::to_string(row + 1) + ", campo " +
                     text::cp1252ToUtf8(f.name) + ")");
    };
    if (numericValue(f, raw, version_, value, numeric)) return value;
    if (numeric) {
        if (text::trimControls(raw.view()).empty()) return 0;
        throw fail(std::string(text::trimControls(raw.view())));
    }
    std::string s = text(row, field);
    double out;
    if (!parseFloat(s, out)) throw fail(s);
    return out;
}

// ---------------------------------------------------------------------------------------------
// Walking a production index.

DbfReader openTable(const std::filesystem::path& folder, const std::string& name) {
    const auto file = findFile(folder, name + ".DBF");
    if (!isRegularFile(file))
        throw Error("No existe la tabla " + name + " en la carpeta de intercambio (\"" + file.string() +
                    "\").");
    return DbfReader::open(file);
}

std::vector<std::uint32_t> readIndexOrder(const std::filesystem::path& mdxFile, std::string_view tagName) {
    std::ifstream in(mdxFile, std::ios::binary);
    if (!in) throw Error("No se puede abrir el índice " + pathText(mdxFile));
    std::vector<std::uint8_t> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto fail = [&mdxFile](const std::string& what) {
        return Error("El índice " + pathText(mdxFile) + " no es válido: " + what);
    };
    if (b.size() < tagTableOffset + 32) throw fail("el archivo es demasiado corto");
    const std::size_t blockBytes = get16(&b[22]);
    if (blockBytes < 16 + keyItemLength || blockBytes > 65536) throw fail("tamaño de bloque imposible");
    const std::size_t tags = get16(&b[28]);
    const std::size_t entryLength = b[26] ? b[26] : 32;
    std::uint32_t headerPage = 0;
    for (std::size_t t = 0; t < tags; ++t) {
        const std::size_t at = tagTableOffset + t * entryLength;
        if (at + entryLength > b.size()) throw fail("la tabla de etiquetas sobrepasa el archivo");
        const auto* n = &b[at + 4];
        std::string name(reinterpret_cast<const char*>(n), std::find(n, n + 11, std::uint8_t{0}) - n);
        if (text::equalsIgnoreCase(name, tagName)) {
            headerPage = get32(&b[at]);
            break;
        }
    }
    if (!headerPage) throw fail("no tiene la etiqueta " + std::string(tagName));
    const auto pageAt = [&](std::uint32_t page) -> const std::uint8_t* {
        const std::size_t offset = static_cast<std::size_t>(page) * pageSize;
        if (page == 0 || offset + blockBytes > b.size())
            throw fail("página " + std::to_string(page) + " fuera del archivo");
        return &b[offset];
    };
    const std::uint8_t* header = pageAt(headerPage);
    const std::size_t itemLength = get16(header + 18);
    if (itemLength < 8 || 8 + itemLength > blockBytes) throw fail("longitud de clave imposible");
    const std::size_t maxItems = (blockBytes - 12) / itemLength;

    std::vector<std::uint32_t> order;
    std::set<std::uint32_t> visited;
    // Depth-first walk; an explicit stack so a crafted file cannot exhaust the call stack.
    std::vector<std::pair<std::uint32_t, std::size_t>> stack{{get32(header), 0}};
    while (!stack.empty()) {
        auto& [page, next] = stack.back();
        const std::uint8_t* node = pageAt(page);
        if (next == 0 && !visited.insert(page).second) throw fail("el árbol tiene un ciclo");
        const std::size_t count = get32(node);
        if (count > maxItems) throw fail("un nodo anuncia demasiadas claves");
        const std::uint32_t last = get32(node + 8 + count * itemLength);
        const bool leaf = last == 0;
        if (leaf) {
            for (std::size_t i = 0; i < count; ++i) order.push_back(get32(node + 8 + i * itemLength));
            stack.pop_back();
            continue;
        }
        if (next > count) {
            stack.pop_back();
            continue;
        }
        const std::uint32_t child = next < count ? get32(node + 8 + next * itemLength) : last;
        ++next;
        if (stack.size() > 64) throw fail("el árbol es demasiado profundo");
        stack.emplace_back(child, 0);
    }
    return order;
}

std::string toCsv(const DbfReader& table) {
    std::string out;
    const auto cell = [&out](std::size_t column, const std::string& cp1252) {
        if (column > 0) out += ',';
        const std::string utf8 = text::cp1252ToUtf8(cp1252);
        if (utf8.find_first_of(",\"\r\n") == std::string::npos) {
            out += utf8;
            return;
        }
        out += '"';
        for (char c : utf8) {
            if (c == '"') out += '"';
            out += c;
        }
        out += '"';
    };
    const auto& fields = table.fields();
    for (std::size_t f = 0; f < fields.size(); ++f) cell(f, fields[f].name);
    out += '\n';
    for (std::size_t r = 0; r < table.rowCount(); ++r) {
        for (std::size_t f = 0; f < fields.size(); ++f) cell(f, table.text(r, static_cast<int>(f)));
        out += '\n';
    }
    return out;
}

} // namespace almadia::dbase
