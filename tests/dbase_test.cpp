#include "formats/Dbase.h"
#include "formats/Error.h"
#include "formats/ExchangeFolder.h"
#include "formats/Layouts.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <unistd.h>

namespace almadia {
namespace {

using dbase::DbfReader;
using dbase::FieldType;
using dbase::Row;
using dbase::Table;
using dbase::TableLayout;
using dbase::Value;
using testing::TempDir;
namespace fs = std::filesystem;

void writeBytes(const fs::path& file, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::set<std::string> listing(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
    return names;
}

// What TDbf reports about a table.
struct Dump {
    int level = 0;
    struct Field {
        std::string name;
        char type;
        int size;
    };
    std::vector<Field> fields;
    std::vector<int> records; // physical record numbers, in walk order
    std::vector<std::map<std::string, std::optional<std::string>>> rows;
};

Dump tdbf(const fs::path& table, const std::string& tag = "") {
    std::string out;
    std::string command =
        testing::tdbfDump() + " '" + table.string() + "'" + (tag.empty() ? "" : " " + tag) + " 2>&1";
    int status = testing::runCommand(command, &out);
    EXPECT_EQ(status, 0) << out;
    Dump dump;
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string kind;
        words >> kind;
        if (kind == "LEVEL") {
            words >> dump.level;
        } else if (kind == "FIELD") {
            Dump::Field f;
            words >> f.name >> f.type >> f.size;
            dump.fields.push_back(f);
        } else if (kind == "ROW") {
            int record;
            words >> record;
            dump.records.push_back(record);
            dump.rows.emplace_back();
        } else if (kind == "VALUE") {
            auto rest = line.substr(6);
            auto eq = rest.find('=');
            dump.rows.back()[rest.substr(0, eq)] = rest.substr(eq + 1);
        } else if (kind == "NULL") {
            dump.rows.back()[line.substr(5)] = std::nullopt;
        }
    }
    return dump;
}

#define REQUIRE_TDBF()                                                                                       \
    if (testing::tdbfDump().empty()) GTEST_SKIP() << "Free Pascal's TDbf is not available"

// Three rows for any layout: every field set (texts with an accented letter), a row that stops after
// its first field (the rest never written), and a row of texts longer than their fields.
struct Sample {
    Table table;
    // Expected per row and field: what TDbf's AsString gives (nullopt for null) and what our text() gives.
    std::vector<std::vector<std::optional<std::string>>> tdbfText;
    std::vector<std::vector<std::string>> ourText;
};

Sample sampleFor(const TableLayout& layout) {
    Sample s{{&layout, {}}, {}, {}};
    for (int r = 0; r < 3; ++r) {
        Row row;
        std::vector<std::optional<std::string>> theirs;
        std::vector<std::string> ours;
        for (std::size_t i = 0; i < layout.fields.size(); ++i) {
            const auto& f = layout.fields[i];
            if (r == 1 && i > 0) {
                theirs.push_back(std::nullopt);
                ours.push_back("");
                continue;
            }
            switch (f.type) {
            case FieldType::String: {
                std::string v =
                    r == 2 ? std::string(f.width + 3, 'X') + "END" : "\xd1" + f.name.substr(0, 3) + " a";
                row.push_back(v);
                std::string held = v.substr(0, std::min<std::size_t>(v.size(), f.width));
                while (!held.empty() && held.back() == ' ') held.pop_back();
                theirs.push_back(held);
                ours.push_back(held);
                break;
            }
            case FieldType::Boolean:
                row.push_back(r != 2);
                theirs.push_back(r != 2 ? "True" : "False");
                ours.push_back(r != 2 ? "T" : "F");
                break;
            case FieldType::Integer:
                row.push_back(std::int32_t(r == 2 ? -7 : 42));
                theirs.push_back(r == 2 ? "-7" : "42");
                ours.push_back(r == 2 ? "-7" : "42");
                break;
            case FieldType::Float:
                row.push_back(r == 2 ? -0.25 : 2.5);
                theirs.push_back(r == 2 ? "-0.25" : "2.5");
                ours.push_back(r == 2 ? "-0,25" : "2,5");
                break;
            }
        }
        s.table.rows.push_back(row);
        s.tdbfText.push_back(theirs);
        s.ourText.push_back(ours);
    }
    return s;
}

char expectedType(FieldType type) {
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
    return '?';
}

int expectedWidth(const dbase::FieldDef& f) {
    switch (f.type) {
    case FieldType::String:
        return f.width;
    case FieldType::Boolean:
        return 1;
    case FieldType::Integer:
        return 4;
    case FieldType::Float:
        return 8;
    }
    return 0;
}

TEST(WorkingTables, EveryLayoutReadsBackInTdbfAndInOurReader) {
    TempDir dir;
    std::vector<Sample> samples;
    std::vector<Table> tables;
    for (const auto* layout : layouts::all()) samples.push_back(sampleFor(*layout));
    for (const auto& s : samples) tables.push_back(s.table);
    dbase::writeTables(dir.path(), tables);

    for (const auto& s : samples) {
        const auto& layout = *s.table.layout;
        SCOPED_TRACE(layout.name);
        const fs::path file = dir / (layout.name + ".DBF");

        DbfReader ours = DbfReader::open(file);
        ASSERT_EQ(ours.fields().size(), layout.fields.size());
        ASSERT_EQ(ours.rowCount(), 3u);
        for (std::size_t i = 0; i < layout.fields.size(); ++i) {
            EXPECT_EQ(ours.fields()[i].name, layout.fields[i].name);
            EXPECT_EQ(ours.fields()[i].type, expectedType(layout.fields[i].type));
            EXPECT_EQ(ours.fields()[i].width, expectedWidth(layout.fields[i]));
            for (std::size_t r = 0; r < 3; ++r)
                EXPECT_EQ(ours.text(r, static_cast<int>(i)), s.ourText[r][i])
                    << layout.fields[i].name << " row " << r;
        }

        if (testing::tdbfDump().empty()) continue;
        Dump dump = tdbf(file);
        EXPECT_EQ(dump.level, 7);
        ASSERT_EQ(dump.fields.size(), layout.fields.size());
        for (std::size_t i = 0; i < layout.fields.size(); ++i) {
            EXPECT_EQ(dump.fields[i].name, layout.fields[i].name);
            EXPECT_EQ(dump.fields[i].type, expectedType(layout.fields[i].type));
            EXPECT_EQ(dump.fields[i].size, expectedWidth(layout.fields[i]));
        }
        ASSERT_EQ(dump.rows.size(), 3u);
        for (std::size_t r = 0; r < 3; ++r)
            for (std::size_t i = 0; i < layout.fields.size(); ++i) {
                const auto& name = layout.fields[i].name;
                ASSERT_TRUE(dump.rows[r].count(name)) << name;
                EXPECT_EQ(dump.rows[r].at(name), s.tdbfText[r][i]) << name << " row " << r;
            }
    }
    if (testing::tdbfDump().empty()) GTEST_SKIP() << "TDbf part skipped: Free Pascal's TDbf is not available";
}

TEST(WorkingTables, HeaderOfALevel7Table) {
    Table table{&layouts::COUNTSES(), {{std::string("55"), std::int32_t(3)}}};
    auto b = dbase::encodeTable(table, {2026, 12, 11});
    const std::size_t header = 68 + 48 * 2 + 1;
    ASSERT_EQ(b.size(), header + 15 + 1);
    EXPECT_EQ(b[0], 0x04);
    EXPECT_EQ((std::vector<int>{b[1], b[2], b[3]}), (std::vector<int>{126, 12, 11}));
    EXPECT_EQ(b[4], 1);
    EXPECT_EQ(b[8] | (b[9] << 8), static_cast<int>(header));
    EXPECT_EQ(b[10] | (b[11] << 8), 15);
    EXPECT_EQ(b[28], 1);
    EXPECT_EQ(std::string(b.begin() + 32, b.begin() + 40), "DBWINUS0");
    EXPECT_EQ(b[68 + 37], 0) << "DURACION carries no tag";
    EXPECT_EQ(b[68 + 48 + 37], 1) << "NSES carries the tag";
    EXPECT_EQ(b[header - 1], 0x0D);
    EXPECT_EQ(b[header], 0x20);
    EXPECT_EQ((std::vector<int>{b[header + 11], b[header + 12], b[header + 13], b[header + 14]}),
              (std::vector<int>{0x80, 0, 0, 3}));
    EXPECT_EQ(b.back(), 0x1A);

    Table plain{&layouts::PROFT(), {}};
    EXPECT_EQ(dbase::encodeTable(plain, {2026, 12, 11})[28], 0);
    EXPECT_TRUE(dbase::encodeIndex(plain, {2026, 12, 11}).empty());
}

// Golden files: a small PROFT and a COUNTSES with its index, as the module writes them on 11/12/2026.
// Both open in TDbf (see the tests above); a change here changes what the host reads.
TEST(WorkingTables, GoldenFiles) {
    const dbase::Date date{2026, 12, 11};
    Table proft{&layouts::PROFT(),
                {{std::string("GARCIA"),
                  std::string("Garc\xed"
                              "a L\xf3pez, Mar\xed"
                              "a"),
                  std::string("Matem\xe1ticas")},
                 {std::string("PEREZ")}}};
    EXPECT_EQ(dbase::encodeTable(proft, date),
              testing::readBytes(testing::dataFile("dbase/golden/PROFT.DBF")));

    Table countses{&layouts::COUNTSES(),
                   {{std::string("55"), std::int32_t(20)},
                    {std::string("30"), std::int32_t(3)},
                    {std::string("110"), std::int32_t(10)}}};
    EXPECT_EQ(dbase::encodeTable(countses, date),
              testing::readBytes(testing::dataFile("dbase/golden/COUNTSES.DBF")));
    EXPECT_EQ(dbase::encodeIndex(countses, date),
              testing::readBytes(testing::dataFile("dbase/golden/COUNTSES.MDX")));
}

std::vector<std::int32_t> scrambled(int rows) {
    std::vector<std::int32_t> values;
    for (int i = 0; i < rows; ++i)
        values.push_back(rows <= 3 ? std::vector<int>{20, 3, 10}[i] : (i * 37) % 101);
    return values;
}

std::vector<std::uint32_t> nsesOrder(const std::vector<std::int32_t>& values) {
    std::vector<std::uint32_t> order(values.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = static_cast<std::uint32_t>(i + 1);
    std::stable_sort(order.begin(), order.end(),
                     [&](std::uint32_t a, std::uint32_t b) { return values[a - 1] < values[b - 1]; });
    return order;
}

TEST(WorkingTables, CountsesIsWalkedInNsesOrder) {
    for (int rows : {3, 200}) {
        SCOPED_TRACE(std::to_string(rows) + " rows");
        TempDir dir;
        auto values = scrambled(rows);
        Table table{&layouts::COUNTSES(), {}};
        for (std::size_t i = 0; i < values.size(); ++i) table.rows.push_back({std::to_string(i), values[i]});
        dbase::writeTables(dir.path(), {table});
        const auto expected = nsesOrder(values);
        ASSERT_FALSE(std::is_sorted(expected.begin(), expected.end()));

        EXPECT_EQ(dbase::readIndexOrder(dir / "COUNTSES.MDX", "NSES"), expected);
        if (rows > 63) {
            // More than one leaf: the root, named by the tag header, is an interior node written
            // after the leaves, whose last word is its rightmost child.
            auto mdx = testing::readBytes(dir / "COUNTSES.MDX");
            const std::size_t root = mdx[2048] | (mdx[2049] << 8);
            ASSERT_GT(root, 8u);
            ASSERT_LE((root + 2) * 512, mdx.size());
            const std::size_t keys = mdx[root * 512];
            EXPECT_NE(mdx[root * 512 + 8 + keys * 16], 0);
        }

        if (testing::tdbfDump().empty()) continue;
        // TDbf looks for the production index under a lower-case extension.
        TempDir copy;
        fs::copy_file(dir / "COUNTSES.DBF", copy / "COUNTSES.DBF");
        fs::copy_file(dir / "COUNTSES.MDX", copy / "COUNTSES.mdx");
        Dump walked = tdbf(copy / "COUNTSES.DBF", "NSES");
        std::vector<std::uint32_t> records(walked.records.begin(), walked.records.end());
        EXPECT_EQ(records, expected);
        ASSERT_EQ(walked.rows.size(), values.size());
        for (std::size_t i = 0; i < walked.rows.size(); ++i)
            EXPECT_EQ(walked.rows[i].at("NSES"), std::to_string(values[expected[i] - 1]));
    }
    if (testing::tdbfDump().empty()) GTEST_SKIP() << "TDbf part skipped: Free Pascal's TDbf is not available";
}

TEST(WorkingTables, ReadsTheIndexTdbfWrites) {
    const fs::path dir = testing::dataFile("dbase/tdbf-countses");
    DbfReader table = DbfReader::open(dir / "COUNTSES.DBF");
    std::vector<std::int32_t> values;
    for (std::size_t r = 0; r < table.rowCount(); ++r)
        values.push_back(table.integer(r, table.requireField("nses")));
    ASSERT_EQ(values, scrambled(200));
    EXPECT_EQ(dbase::readIndexOrder(dir / "COUNTSES.mdx", "NSES"), nsesOrder(values));
}

TEST(WorkingTables, CutValuesAreFoundOnlyByTheirHeldForm) {
    Table table{&layouts::ASIGNOMT(), {{std::string("MATEMATICAS1"), std::string("LONG")}}};
    auto reader = DbfReader::fromBytes(dbase::encodeTable(table, {2026, 1, 1}), "ASIGNOMT.DBF");
    EXPECT_EQ(reader.text(0, reader.requireField("COD")), "MATEMATICA");
    EXPECT_EQ(reader.text(0, reader.requireField("CODLARGO")), "LONG");
}

// SOLUC as other programs write it: TDbf at levels 3 and 7, numeric and character DIA/HORA, with a
// deleted row; and Visual FoxPro made by hand.
TEST(SolucTables, DiaAndHoraReadAsTextWholeNumberAndNumber) {
    struct Expected {
        std::string asig, dia;
        std::int32_t diaValue;
        std::string hora;
        double horaValue;
        std::string prof;
    };
    const std::vector<Expected> rows{{"MAT", "1", 1, "3", 3, "MU\xd1OZ"},
                                     {"LEN", "5", 5, "10", 10, "PEREZ"},
                                     {"REC", "", 0, "", 0, ""},
                                     {"TUT", "2", 2, "2,5", 2.5, "PEREZ"}};
    for (const char* name : {"SOLUC3N.DBF", "SOLUC4C.DBF", "SOLUC7N.DBF", "SOLUC7C.DBF"}) {
        SCOPED_TRACE(name);
        DbfReader t = DbfReader::open(testing::dataFile(std::string("dbase/") + name));
        ASSERT_EQ(t.rowCount(), rows.size()) << "the deleted row is skipped";
        const bool character = t.fields()[t.requireField("DIA")].type == 'C';
        for (std::size_t r = 0; r < rows.size(); ++r) {
            auto e = rows[r];
            if (character && e.asig == "REC") e.dia = e.hora = "0";
            EXPECT_EQ(t.text(r, t.requireField("asig")), e.asig);
            EXPECT_EQ(t.text(r, t.requireField("Dia")), e.dia);
            EXPECT_EQ(t.integer(r, t.requireField("DIA")), e.diaValue);
            EXPECT_EQ(t.text(r, t.requireField("HORA")), e.hora);
            EXPECT_DOUBLE_EQ(t.number(r, t.requireField("HORA")), e.horaValue);
            EXPECT_EQ(t.text(r, t.requireField("PROF")), e.prof);
        }
    }
}

void putLe(std::vector<std::uint8_t>& b, std::size_t at, std::uint64_t v, int n) {
    for (int i = 0; i < n; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// A Visual FoxPro SOLUC: DIA a little-endian I, HORA a little-endian B, one deleted row.
std::vector<std::uint8_t> foxProSoluc() {
    struct F {
        const char* name;
        char type;
        int width;
    };
    const std::vector<F> fields{{"ASIG", 'C', 10}, {"DIA", 'I', 4}, {"HORA", 'B', 8}, {"PROF", 'C', 6}};
    const std::size_t header = 32 + 32 * fields.size() + 1 + 263;
    const std::size_t record = 1 + 10 + 4 + 8 + 6;
    std::vector<std::uint8_t> b(header + 3 * record + 1, 0);
    b[0] = 0x30;
    putLe(b, 4, 3, 4);
    putLe(b, 8, header, 2);
    putLe(b, 10, record, 2);
    std::size_t offset = 1;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const std::size_t at = 32 + 32 * i;
        std::memcpy(&b[at], fields[i].name, std::strlen(fields[i].name));
        b[at + 11] = static_cast<std::uint8_t>(fields[i].type);
        putLe(b, at + 12, offset, 4);
        b[at + 16] = static_cast<std::uint8_t>(fields[i].width);
        offset += fields[i].width;
    }
    b[32 + 32 * fields.size()] = 0x0D;
    const auto row = [&](std::size_t n, char flag, const char* asig, std::int32_t dia, double hora) {
        const std::size_t at = header + n * record;
        b[at] = static_cast<std::uint8_t>(flag);
        std::memset(&b[at + 1], ' ', 10);
        std::memcpy(&b[at + 1], asig, std::strlen(asig));
        putLe(b, at + 11, static_cast<std::uint32_t>(dia), 4);
        std::uint64_t bits;
        std::memcpy(&bits, &hora, 8);
        putLe(b, at + 15, bits, 8);
        std::memcpy(&b[at + 23], "PEREZ ", 6);
    };
    row(0, ' ', "MAT", 1, 3);
    row(1, '*', "DEL", 9, 9);
    row(2, ' ', "TUT", -2, 2.5);
    b.back() = 0x1A;
    return b;
}

TEST(SolucTables, VisualFoxPro) {
    DbfReader t = DbfReader::fromBytes(foxProSoluc(), "SOLUC.DBF");
    ASSERT_EQ(t.rowCount(), 2u);
    EXPECT_EQ(t.text(0, t.requireField("ASIG")), "MAT");
    EXPECT_EQ(t.integer(0, t.requireField("DIA")), 1);
    EXPECT_EQ(t.text(0, t.requireField("HORA")), "3");
    EXPECT_EQ(t.text(1, t.requireField("DIA")), "-2");
    EXPECT_DOUBLE_EQ(t.number(1, t.requireField("HORA")), 2.5);
    EXPECT_EQ(t.text(1, t.requireField("HORA")), "2,5");
    EXPECT_EQ(t.text(1, t.requireField("PROF")), "PEREZ");
}

TEST(SolucTables, ConversionErrorsNameTableRowAndField) {
    struct Case {
        std::string dia, hora;
        bool asInteger;
        std::string message;
    };
    const std::vector<Case> cases{
        {"x", "1", true, "'x' no es un valor entero válido"},
        {"", "1", true, "'' no es un valor entero válido"},
        {"1", "1,5,", false, "'1,5,' no es un valor punto flotante válido"},
        {"1", "tres", false, "'tres' no es un valor punto flotante válido"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        TableLayout layout{"SOLUC", {{"DIA", FieldType::String, 5}, {"HORA", FieldType::String, 5}}, {}};
        Table table{&layout, {{std::string("1"), std::string("1")}, {c.dia, c.hora}}};
        auto t = DbfReader::fromBytes(dbase::encodeTable(table, {2026, 1, 1}), "SOLUC.DBF");
        try {
            if (c.asInteger)
                t.integer(1, t.requireField("DIA"));
            else
                t.number(1, t.requireField("HORA"));
            FAIL() << "no error";
        } catch (const Error& e) {
            const std::string m = e.what();
            EXPECT_NE(m.find(c.message), std::string::npos) << m;
            EXPECT_NE(m.find("SOLUC.DBF"), std::string::npos) << m;
            EXPECT_NE(m.find("fila 2"), std::string::npos) << m;
            EXPECT_NE(m.find(c.asInteger ? "DIA" : "HORA"), std::string::npos) << m;
        }
    }
    // A numeric field holding a fraction is not a whole number.
    DbfReader t = DbfReader::open(testing::dataFile("dbase/SOLUC3N.DBF"));
    EXPECT_THROW(t.integer(3, t.requireField("HORA")), Error);
    EXPECT_THROW(t.requireField("NOEXISTE"), Error);
}

TEST(SolucTables, HeadersThatLieAreRejected) {
    Table countses{&layouts::COUNTSES(),
                   {{std::string("55"), std::int32_t(3)}, {std::string("50"), std::int32_t(1)}}};
    const auto level7 = dbase::encodeTable(countses, {2026, 1, 1});
    const auto level3 = testing::readBytes(testing::dataFile("dbase/SOLUC3N.DBF"));
    const auto fox = foxProSoluc();
    using Mutation = std::function<void(std::vector<std::uint8_t>&)>;
    const auto set16 = [](std::size_t at, int v) {
        return [=](std::vector<std::uint8_t>& b) { b[at] = v & 0xFF, b[at + 1] = (v >> 8) & 0xFF; };
    };
    const std::vector<std::pair<std::string, Mutation>> mutations{
        {"empty file", [](auto& b) { b.clear(); }},
        {"cut inside the header", [](auto& b) { b.resize(40); }},
        {"cut inside the records", [](auto& b) { b.resize(b.size() - 8); }},
        {"record count beyond the file", [](auto& b) { b[4] = b[5] = b[6] = b[7] = 0xFF; }},
        {"header longer than the file", set16(8, 0xFFFF)},
        {"header shorter than the fields", set16(8, 40)},
        {"record length above the widths", [](auto& b) { b[10] = static_cast<std::uint8_t>(b[10] + 1); }},
        {"record length below the widths", [](auto& b) { b[10] = static_cast<std::uint8_t>(b[10] - 1); }},
        {"record length zero", set16(10, 0)},
        {"unknown version", [](auto& b) { b[0] = 0x99; }},
        {"no end of descriptors",
         [](auto& b) {
             std::size_t header = b[8] | (b[9] << 8);
             for (std::size_t i = 32; i < header; ++i)
                 if (b[i] == 0x0D) b[i] = 'X';
         }},
    };
    const std::vector<std::pair<std::string, std::vector<std::uint8_t>>> tables{
        {"level 7", level7}, {"level 3", level3}, {"FoxPro", fox}};
    for (const auto& [kind, original] : tables)
        for (const auto& [what, mutate] : mutations) {
            SCOPED_TRACE(kind + ": " + what);
            auto bytes = original;
            mutate(bytes);
            try {
                DbfReader::fromBytes(bytes, "/tmp/ROTA.DBF");
                FAIL() << "accepted";
            } catch (const Error& e) {
                EXPECT_NE(std::string(e.what()).find("/tmp/ROTA.DBF"), std::string::npos) << e.what();
            }
        }

    // Field widths that do not fit their type or the record.
    auto wideInteger = level7;
    wideInteger[68 + 48 + 33] = 200;
    EXPECT_THROW(DbfReader::fromBytes(wideInteger, "X.DBF"), Error);
    auto wideText = level3;
    wideText[32 + 16] = 255;
    EXPECT_THROW(DbfReader::fromBytes(wideText, "X.DBF"), Error);
}

TEST(SolucTables, BrokenIndexIsAnErrorNotALoop) {
    TempDir dir;
    auto good = testing::readBytes(testing::dataFile("dbase/golden/COUNTSES.MDX"));
    const auto rootAt = [&] { return 4 * 512; };
    std::vector<std::pair<std::string, std::function<void(std::vector<std::uint8_t>&)>>> mutations{
        {"root beyond the file", [&](auto& b) { b[rootAt()] = 0xFF, b[rootAt() + 1] = 0xFF; }},
        {"root is the header", [&](auto& b) { b[rootAt()] = 0; }},
        {"too many keys", [](auto& b) { b[8 * 512] = 0xFF; }},
        {"truncated", [](auto& b) { b.resize(600); }},
        {"no such tag", [](auto& b) { b[544 + 4] = 'X'; }},
    };
    for (const auto& [what, mutate] : mutations) {
        SCOPED_TRACE(what);
        auto bytes = good;
        mutate(bytes);
        writeBytes(dir / "COUNTSES.MDX", bytes);
        EXPECT_THROW(dbase::readIndexOrder(dir / "COUNTSES.MDX", "NSES"), Error);
    }
    // An interior node that points at itself.
    auto looping = good;
    std::size_t root = 8 * 512;
    looping[root] = 0;     // no counted items
    looping[root + 8] = 8; // rightmost child: itself
    writeBytes(dir / "COUNTSES.MDX", looping);
    EXPECT_THROW(dbase::readIndexOrder(dir / "COUNTSES.MDX", "NSES"), Error);
}

TEST(WorkingTables, CsvOfATable) {
    TableLayout layout{"T", {{"NOMBRE", FieldType::String, 20}, {"N", FieldType::Float, 8}}, {}};
    Table table{&layout, {{std::string("Mu\xf1oz, \"Pepe\""), 2.5}, {std::string("A")}}};
    auto t = DbfReader::fromBytes(dbase::encodeTable(table, {2026, 1, 1}), "T.DBF");
    EXPECT_EQ(dbase::toCsv(t), "NOMBRE,N\n\"Muñoz, \"\"Pepe\"\"\",\"2,5\"\nA,\n");
}

TEST(WriteTables, ReplacesTablesAndRemovesStaleFiles) {
    TempDir dir;
    for (const char* name : {"PROFT.DBF", "proft.dbf", "PROFT.MDX", "countses.mdx", "Countses.DBF",
                             "CURSOST.DBF", "cursost.mdx", "OTRO.TXT"})
        testing::writeText(dir / name, "old");
    Table proft{&layouts::PROFT(), {{std::string("A")}}};
    Table countses{&layouts::COUNTSES(), {{std::string("55"), std::int32_t(2)}}};
    dbase::writeTables(dir.path(), {proft, countses}, {"CURSOST"});

    EXPECT_EQ(listing(dir.path()),
              (std::set<std::string>{"COUNTSES.DBF", "COUNTSES.MDX", "OTRO.TXT", "PROFT.DBF"}));
    const auto date = dbase::today();
    EXPECT_EQ(testing::readBytes(dir / "PROFT.DBF"), dbase::encodeTable(proft, date));
    EXPECT_EQ(testing::readBytes(dir / "COUNTSES.DBF"), dbase::encodeTable(countses, date));
    EXPECT_EQ(testing::readBytes(dir / "COUNTSES.MDX"), dbase::encodeIndex(countses, date));
    EXPECT_EQ(testing::readText(dir / "OTRO.TXT"), "old");
}

TEST(WriteTables, AFailureLeavesTheOldFiles) {
    struct Case {
        std::string what;
        std::function<void(const fs::path&)> prepare;
        std::string named; // the file or folder the message names
        bool asRootToo;
    };
    const std::vector<Case> cases{
        {"a folder where the table should be",
         [](const fs::path& d) { fs::create_directory(d / "ASIGT.DBF"); }, "ASIGT.DBF", true},
        {"the new file cannot be written",
         [](const fs::path& d) {
             fs::create_directory(d / "~ASIGT.DBF.tmp");
             testing::writeText(d / "~ASIGT.DBF.tmp" / "x", "x");
         },
         "ASIGT.DBF", true},
        {"read-only folder",
         [](const fs::path& d) { fs::permissions(d, fs::perms::owner_write, fs::perm_options::remove); },
         "PROFT.DBF", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (!c.asRootToo && geteuid() == 0) continue; // permissions do not bind root
        TempDir dir;
        testing::writeText(dir / "PROFT.DBF", "old teachers");
        testing::writeText(dir / "PROFT.MDX", "old index");
        c.prepare(dir.path());
        const auto before = listing(dir.path());
        Table proft{&layouts::PROFT(), {{std::string("A")}}};
        Table asigt{&layouts::ASIGT(), {{std::string("B")}}};
        try {
            dbase::writeTables(dir.path(), {proft, asigt}, {"CURSOST"});
            FAIL() << "no error";
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find(c.named), std::string::npos) << e.what();
        }
        fs::permissions(dir.path(), fs::perms::owner_all, fs::perm_options::add);
        EXPECT_EQ(listing(dir.path()), before) << "no temporary file left, nothing removed";
        EXPECT_EQ(testing::readText(dir / "PROFT.DBF"), "old teachers");
        EXPECT_EQ(testing::readText(dir / "PROFT.MDX"), "old index");
    }

    TempDir dir;
    const fs::path missing = dir / "KTEMP";
    try {
        dbase::writeTables(missing, {Table{&layouts::PROFT(), {}}});
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find(missing.string()), std::string::npos) << e.what();
    }
    EXPECT_FALSE(fs::exists(missing)) << "the folder is never created";
}

TEST(ExchangeFolder, FindsFilesWhateverTheCase) {
    TempDir dir;
    testing::writeText(dir / "soluc.dbf", "x");
    fs::create_directory(dir / "ASIGT.DBF");
    EXPECT_EQ(findFile(dir.path(), "SOLUC.DBF"), dir / "soluc.dbf");
    EXPECT_EQ(findFile(dir.path(), "PROFT.DBF"), dir / "PROFT.DBF");
    EXPECT_TRUE(isRegularFile(findFile(dir.path(), "SOLUC.DBF")));
    EXPECT_FALSE(isRegularFile(dir / "ASIGT.DBF"));
    EXPECT_FALSE(isRegularFile(dir / "PROFT.DBF"));
    EXPECT_FALSE(isRegularFile(""));
}

TEST(ExchangeFolder, DefaultFolder) {
    const char* saved = std::getenv("ALMADIA_KTEMP");
    const std::string keep = saved ? saved : "";
    const char* savedPrefix = std::getenv("WINEPREFIX");
    const std::string keepPrefix = savedPrefix ? savedPrefix : "";
    setenv("ALMADIA_KTEMP", "/srv/ktemp", 1);
    EXPECT_EQ(defaultExchangeFolder(), fs::path("/srv/ktemp"));
    unsetenv("ALMADIA_KTEMP");
    setenv("WINEPREFIX", "/opt/prefix", 1);
    EXPECT_EQ(defaultExchangeFolder(), fs::path("/opt/prefix/drive_c/KTEMP"));
    unsetenv("WINEPREFIX");
    EXPECT_EQ(defaultExchangeFolder(), fs::path(std::getenv("HOME")) / ".wine/drive_c/KTEMP");
    if (saved) setenv("ALMADIA_KTEMP", keep.c_str(), 1);
    if (savedPrefix) setenv("WINEPREFIX", keepPrefix.c_str(), 1);
}

} // namespace
} // namespace almadia
