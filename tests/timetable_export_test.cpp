#include "import/TimetableExportRun.h"

#include "formats/Dbase.h"
#include "formats/Error.h"
#include "formats/Layouts.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <deque>
#include <memory>

namespace almadia {
namespace {

using dbase::FieldType;
using dbase::Row;
using dbase::Table;
using dbase::TableLayout;
using testing::TempDir;

constexpr FieldType S = FieldType::String;

// The working tables of a small centre, as the conversion run leaves them (Windows-1252 text).
// Duplicate keys show that the first row in table order is the one found.
void writeWorkingTables(const std::filesystem::path& folder) {
    const Table grupos{&layouts::GRUPOST(), {{"1A"}, {"1B"}, {"1ESOA"}, {"2BACHB"}}};
    const Table profesores{&layouts::PROFT(), {{"PRO1"}, {"PRO2"}, {"MU\xD1OZ"}, {"PEREZ"}}};
    const Table aulas{&layouts::AULAT(),
                      {{"A1", "Aula 1", {}, {}, "AULA-001"},
                       {"A1", "Otra", {}, {}, "AULA-999"},
                       {"LAB", "Laboratorio", {}, {}, "LAB-\xD1"}}};
    const Table asignaturas{&layouts::ASIGNOMT(),
                            {{"MAT", "MAT", "Matem\xE1ticas", {}, false, "MATES-01"},
                             {"MAT", "MAT2", "Otra", {}, false, "OTRA"},
                             {"AB", "ABCLARGO", "Ab", {}, false, "ABC-LARGO"},
                             {"LEN", "LEN", "Lengua", {}, false, "LENGUA"},
                             {"GUA", "GUA", "Guardia", {}, true, "GUARDIA"}}};
    auto slot = [](const char* diho, const char* from, const char* to) -> Row {
        return {diho, {}, {}, {}, {}, {}, from, to};
    };
    const Table tramos{&layouts::DIASHORAST(),
                       {slot("11", "08:00", "08:55"), slot("13", "10:00", "10:55"),
                        slot("13", "99:99", "99:99"), slot("110", "16:00", "16:55"),
                        slot("22", "09:00", "09:55"), slot("52", "09:00", "09:55"),
                        slot("510", "17:00", "17:55"), slot("81", "08:00", "08:55")}};
    const Table asigt{&layouts::ASIGT(), {}};
    dbase::writeTables(folder, {grupos, profesores, aulas, asignaturas, tramos, asigt});
}

const TableLayout& solucLayout(bool numeric) {
    static const TableLayout text{"SOLUC",
                                  {{"ASIG", S, 10},
                                   {"TAREA", S, 10},
                                   {"DIA", S, 2},
                                   {"HORA", S, 4},
                                   {"CODGRUPO", S, 10},
                                   {"PROF", S, 10},
                                   {"AULA", S, 10}},
                                  {}};
    static const TableLayout number{"SOLUC",
                                    {{"ASIG", S, 10},
                                     {"TAREA", S, 10},
                                     {"DIA", FieldType::Integer, 4},
                                     {"HORA", FieldType::Float, 8},
                                     {"CODGRUPO", S, 10},
                                     {"PROF", S, 10},
                                     {"AULA", S, 10}},
                                    {}};
    return numeric ? number : text;
}

struct SolucRow {
    std::string asig, tarea;
    int dia, hora;
    std::string grupo, prof, aula;
    // The activity expected, as "tipo|codigoProfesor|codigoGrupo|codigoMateria|aula|dia|HoraInicio|HoraFin"
    // in UTF-8; empty when the row is left out.
    std::string expected;
};

// Every way a row can go, in SOLUC order. Rows whose ASIG differs from TAREA belong to the first pass.
const std::vector<SolucRow> cases = {
    {"MAT", "CCM", 1, 3, "1A", "PRO1", "A1", "CCM|PRO1|1A|MATES-01|AULA-001|L|10:00|10:55"},
    {"GUA", "GUA", 5, 2, "ZZ", "PRO2", "B9", "GUA|PRO2|ZZ|||V|09:00|09:55"},     // group not looked up
    {"MAT", "CCM", 1, 3, "XX", "PRO1", "A1", ""},                                // unknown group
    {"MAT", "CCM", 1, 3, "1a", "PRO1", "A1", ""},                                // group differs in case
    {"ZZZ", "CCM", 1, 3, "1A", "PRO1", "A1", ""},                                // unknown subject
    {"ab", "CCM", 1, 3, "1A", "PRO1", "A1", ""},                                 // subject differs in case
    {"AB", "CCM", 1, 3, "1A", "PRO9", "a1", "CCM||1A|ABC-LARGO||L|10:00|10:55"}, // no teacher, no classroom
    {"MAT", "CCM", 1, 9, "1A", "PRO1", "A1", ""},                                // unknown time slot
    {"MAT", "CCM", 0, 3, "1A", "PRO1", "A1", ""},                                // day 0
    {"MAT", "CCM", 1, 0, "1A", "PRO1", "A1", ""},                                // slot 0
    {"MAT", "CCM", 8, 1, "1B", "PRO1", "LAB", "CCM|PRO1|1B|MATES-01|LAB-Ñ||08:00|08:55"}, // day 8: no letter
    {"MAT", "CCM", 1, 10, "1A", "", "", "CCM||1A|MATES-01||L|16:00|16:55"},               // "110", not "11"
    {"GUA", "GUA", 1, 1, "", "PRO1", "A1", "GUA|PRO1|||AULA-001|L|08:00|08:55"},          // empty group kept
    {"XX", "XX", 1, 1, "1A", "PRO1", "A1", ""},   // second pass, unknown subject
    {"GUA", "GUA", 0, 1, "1A", "PRO1", "A1", ""}, // second pass, day 0
    {"gua", "GUA", 1, 1, "1A", "PRO1", "A1", ""}, // first pass; "gua" unknown
    {"MAT", "CCM", 5, 2, "1A", "PRO2", "A1", "CCM|PRO2|1A|MATES-01|AULA-001|V|09:00|09:55"},
    {"MAT", "CCM", 5, 2, "1A", "NOPE", "A1", "CCM||1A|MATES-01|AULA-001|V|09:00|09:55"},
    {"MAT", "MAT", 1, 3, "1B", "PRO1", "A1", "MAT|PRO1|1B||AULA-001|L|10:00|10:55"}, // subject, second pass
};

void writeSoluc(const std::filesystem::path& folder, bool numeric, const std::vector<SolucRow>& rows,
                const std::string& fileName = "SOLUC.DBF") {
    Table table{&solucLayout(numeric), {}};
    for (const auto& r : rows) {
        dbase::Value dia = numeric ? dbase::Value(std::int32_t(r.dia)) : dbase::Value(std::to_string(r.dia));
        dbase::Value hora = numeric ? dbase::Value(double(r.hora)) : dbase::Value(std::to_string(r.hora));
        table.rows.push_back({r.asig, r.tarea, dia, hora, r.grupo, r.prof, r.aula});
    }
    const auto bytes = dbase::encodeTable(table, {2026, 6, 1});
    testing::writeText(folder / fileName, std::string(bytes.begin(), bytes.end()));
}

struct FreeDoc {
    void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};

// The activities of a result file, one line each: "pass:tipo|...|HoraFin", pass 1 for codigoAula.
std::vector<std::string> activities(const std::filesystem::path& file) {
    std::unique_ptr<xmlDoc, FreeDoc> doc(xmlReadFile(file.c_str(), nullptr, XML_PARSE_NONET));
    if (!doc) throw std::runtime_error("not well-formed: " + file.string());
    const xmlNode* horario = xmlDocGetRootElement(doc.get())->children;
    std::vector<std::string> out;
    for (const xmlNode* a = horario->children; a; a = a->next) {
        std::string line;
        std::string pass = "?";
        for (const xmlAttr* attr = a->properties; attr; attr = attr->next) {
            const std::string name = reinterpret_cast<const char*>(attr->name);
            if (name == "codigoAula") pass = "1";
            if (name == "codigAula") pass = "2";
            xmlChar* value = xmlNodeGetContent(reinterpret_cast<const xmlNode*>(attr));
            line += (line.empty() && attr == a->properties ? "" : "|") +
                    std::string(reinterpret_cast<char*>(value));
            xmlFree(value);
        }
        out.push_back(pass + ":" + line);
    }
    return out;
}

const char* const Centre = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                           "<Centro Codigo=\"28001234\" Nombre=\"IES Pe\xC3\xB1"
                           "alara\" CursoEscolar=\"2025-2026\" "
                           "Version=\"1.0\"><Aulas><Aula Codigo=\"AULA-001\"/></Aulas></Centro>\n";

class FakeHost : public RunHost {
public:
    std::deque<std::optional<std::filesystem::path>> choices;
    std::vector<std::string> log;
    std::string details;
    bool busy = false;

    std::optional<std::filesystem::path> chooseFile() override {
        if (choices.empty()) return std::nullopt;
        auto choice = choices.front();
        choices.pop_front();
        return choice;
    }
    void message(const std::string& text, const std::string& d) override {
        log.push_back("message:" + text);
        if (!d.empty()) details = d;
    }
    void showError(const std::string& text) override { log.push_back("error:" + text); }
    void setBusy(bool b) override { busy = b; }
    void closeWindow() override { log.push_back("close"); }
};

struct Exchange {
    TempDir dir;
    std::filesystem::path folder = dir / "KTEMP";
    std::filesystem::path centre = dir / "centro.xml";
    WindowState state;
    FakeHost host;
    TimetableExportOptions options{[] { return std::string("11/12/2026 10:20:30"); }, 5};

    Exchange() {
        std::filesystem::create_directory(folder);
        writeWorkingTables(folder);
        testing::writeText(centre, Centre);
        state.exchangeFolder = folder;
    }
    RunOutcome run() { return runTimetableExport(host, state, options); }
};

class TimetableExport : public ::testing::TestWithParam<bool> {};

TEST_P(TimetableExport, BothPassesLookupsAndDrops) {
    Exchange x;
    writeSoluc(x.folder, GetParam(), cases);
    x.host.choices.push_back(x.centre);
    ASSERT_EQ(x.run(), RunOutcome::Finished) << ::testing::PrintToString(x.host.log);

    std::vector<std::string> expected;
    for (const char* pass : {"1", "2"})
        for (const auto& c : cases)
            if (!c.expected.empty() && (c.asig != c.tarea) == (pass[0] == '1'))
                expected.push_back(pass + (":" + c.expected));
    EXPECT_EQ(activities(x.dir / "ResultadoHoravelcentro.xml"), expected);

    EXPECT_EQ(x.state.report.counts(),
              (std::vector<std::string>{"Actividades de la primera pasada (asignaturas): 6 filas",
                                        "Actividades de la segunda pasada (tareas): 3 filas"}));
    const auto& notes = x.state.report.notes();
    auto has = [&](const std::string& line) {
        return std::find(notes.begin(), notes.end(), line) != notes.end();
    };
    EXPECT_TRUE(has("Filas de SOLUC descartadas por grupo no encontrado en GRUPOST: 2 "
                    "(fila 3: CODGRUPO \"XX\"; fila 4: CODGRUPO \"1a\")"))
        << ::testing::PrintToString(notes);
    EXPECT_TRUE(
        has("Filas de SOLUC descartadas por asignatura no encontrada en ASIGNOMT: 4 "
            "(fila 5: ASIG \"ZZZ\"; fila 6: ASIG \"ab\"; fila 16: ASIG \"gua\"; fila 14: ASIG \"XX\")"));
    EXPECT_TRUE(has("Filas de SOLUC descartadas por tramo horario no encontrado en DIASHORAST: 1 "
                    "(fila 8: DIHO \"19\")"));
    EXPECT_TRUE(has("Filas de SOLUC descartadas por DIA u HORA 0: 3 (fila 9: DIA \"0\", HORA \"3\"; "
                    "fila 10: DIA \"1\", HORA \"0\"; fila 15: DIA \"0\", HORA \"1\")"));
    EXPECT_TRUE(has("Actividades escritas sin aula (AULA no encontrada en AULAT, o aula sin código): 3 "
                    "(fila 7: AULA \"a1\"; fila 12: AULA \"\"; fila 2: AULA \"B9\")"));
}

INSTANTIATE_TEST_SUITE_P(DiaHora, TimetableExport, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Numeric" : "Character"; });

// The same solution as other programs write it: dBase III with N fields, dBase IV with C fields
// ("2,5" as slot), level 7 with C or I/N fields; a deleted record and a null or zero day in each.
TEST(TimetableExportFiles, SolutionsWrittenByOtherProgramsGiveTheSameResult) {
    for (const char* name : {"SOLUC3N.DBF", "SOLUC4C.DBF", "SOLUC7C.DBF", "SOLUC7N.DBF"}) {
        SCOPED_TRACE(name);
        Exchange x;
        std::filesystem::copy_file(testing::dataFile(std::string("dbase/") + name), x.folder / "SOLUC.DBF");
        x.host.choices.push_back(x.centre);
        ASSERT_EQ(x.run(), RunOutcome::Finished) << ::testing::PrintToString(x.host.log);
        EXPECT_EQ(activities(x.dir / "ResultadoHoravelcentro.xml"),
                  (std::vector<std::string>{"1:|MUÑOZ|1ESOA|MATES-01|AULA-001|L|10:00|10:55",
                                            "2:LEN|PEREZ|2BACHB|||V|17:00|17:55"}));
    }
}

TEST(TimetableExportRun, FinishesEmbeddedWithStatusOneAndCloses) {
    Exchange x;
    x.state.embedded = true;
    writeSoluc(x.folder, false, {cases[0]}, "soluc.dbf"); // found whatever the case of its name
    x.host.choices.push_back(x.centre);
    EXPECT_EQ(x.run(), RunOutcome::Finished);
    EXPECT_EQ(x.host.log, (std::vector<std::string>{"message:" + std::string(messages::ImportReminder),
                                                    "message:Proceso finalizado", "close"}));
    EXPECT_EQ(x.state.EstadoTransformacion, 1);
    EXPECT_FALSE(x.host.busy);
    EXPECT_NE(x.host.details.find("primera pasada (asignaturas): 1 fila"), std::string::npos)
        << x.host.details;
    EXPECT_NE(x.host.details.find((x.dir / "ResultadoHoravelcentro.xml").string()), std::string::npos);
    EXPECT_EQ(x.state.FicheroXML, x.centre);
}

TEST(TimetableExportRun, ASecondClickWithTheDialogCancelledUsesTheFileChosenBefore) {
    Exchange x;
    writeSoluc(x.folder, true, {cases[0]});
    x.host.choices.push_back(x.centre);
    ASSERT_EQ(x.run(), RunOutcome::Finished);
    std::filesystem::remove(x.dir / "ResultadoHoravelcentro.xml");
    x.host.log.clear();
    ASSERT_EQ(x.run(), RunOutcome::Finished) << ::testing::PrintToString(x.host.log);
    EXPECT_EQ(activities(x.dir / "ResultadoHoravelcentro.xml").size(), 1u);
    EXPECT_EQ(x.state.report.counts().size(), 2u); // the report of this run only
}

TEST(TimetableExportRun, Refusals) {
    struct Case {
        std::string name;
        bool embedded;
        bool chooseCentre; // false: the dialog is cancelled at the first click
        bool withSoluc;
        std::string centre;  // the chosen file's content
        std::string message; // the start of the refusal message
    };
    const std::string notCentre = "<Horario/>";
    const std::vector<Case> refusals = {
        {"cancelled at first click", true, false, true, Centre, messages::NoFileOrSolution},
        {"no SOLUC, embedded", true, true, false, Centre, messages::NoFileOrSolution},
        {"no SOLUC, stand-alone", false, true, false, Centre, messages::NoFileOrSolution},
        {"not a centre, embedded", true, true, true, notCentre, "El archivo "},
        {"not well-formed, stand-alone", false, true, true, "<Centro", "El archivo "},
    };
    for (const auto& c : refusals) {
        SCOPED_TRACE(c.name);
        Exchange x;
        x.state.embedded = c.embedded;
        testing::writeText(x.centre, c.centre);
        if (c.withSoluc) writeSoluc(x.folder, false, cases);
        // Without GRUPOST, a run that opened the tables before reading the document would fail on it.
        std::filesystem::remove(x.folder / "GRUPOST.DBF");
        if (c.chooseCentre) x.host.choices.push_back(x.centre);

        EXPECT_EQ(x.run(), RunOutcome::Refused);
        ASSERT_GE(x.host.log.size(), 2u);
        EXPECT_EQ(x.host.log[0], "message:" + std::string(messages::ImportReminder));
        EXPECT_EQ(x.host.log[1].rfind("message:" + c.message, 0), 0u) << x.host.log[1];
        EXPECT_EQ(x.host.log.size(), c.embedded ? 3u : 2u);
        if (c.embedded) {
            EXPECT_EQ(x.host.log.back(), "close");
        }
        EXPECT_EQ(x.state.EstadoTransformacion, c.embedded ? -1 : 0);
        EXPECT_FALSE(x.host.busy);
        EXPECT_FALSE(std::filesystem::exists(x.dir / "ResultadoHoravelcentro.xml"));
    }
}

TEST(TimetableExportRun, AMissingWorkingTableStopsTheRunNamingIt) {
    for (const char* table : {"GRUPOST", "PROFT", "AULAT", "ASIGNOMT", "DIASHORAST", "ASIGT"}) {
        SCOPED_TRACE(table);
        Exchange x;
        x.state.embedded = true;
        writeSoluc(x.folder, false, cases);
        std::filesystem::remove(x.folder / (std::string(table) + ".DBF"));
        x.host.choices.push_back(x.centre);

        EXPECT_EQ(x.run(), RunOutcome::Failed);
        ASSERT_EQ(x.host.log.size(), 2u);
        EXPECT_EQ(x.host.log[1].rfind("error:No existe la tabla " + std::string(table) + " ", 0), 0u)
            << x.host.log[1];
        EXPECT_EQ(x.state.EstadoTransformacion, 0); // unchanged, and the window stays
        EXPECT_FALSE(x.host.busy);
        EXPECT_FALSE(std::filesystem::exists(x.dir / "ResultadoHoravelcentro.xml"));
    }
}

TEST(TimetableExportRun, AFailedSaveNamesTheResultAndLeavesNoTemporaryFile) {
    Exchange x;
    writeSoluc(x.folder, false, cases);
    std::filesystem::create_directory(x.dir / "ResultadoHoravelcentro.xml");
    x.host.choices.push_back(x.centre);

    EXPECT_EQ(x.run(), RunOutcome::Failed);
    ASSERT_EQ(x.host.log.size(), 2u);
    EXPECT_NE(x.host.log[1].find("\"" + (x.dir / "ResultadoHoravelcentro.xml").string() + "\""),
              std::string::npos)
        << x.host.log[1];
    EXPECT_EQ(x.state.EstadoTransformacion, 0);
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(x.dir.path()))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"KTEMP", "ResultadoHoravelcentro.xml", "centro.xml"}));
}

TEST(TimetableExportRun, ADayThatIsNotANumberStopsTheRunNamingTheRow) {
    Exchange x;
    Table table{&solucLayout(false),
                {{"MAT", "CCM", "1", "3", "1A", "PRO1", "A1"}, {"MAT", "CCM", "L", "3", "1A", "PRO1", "A1"}}};
    const auto bytes = dbase::encodeTable(table, {2026, 6, 1});
    testing::writeText(x.folder / "SOLUC.DBF", std::string(bytes.begin(), bytes.end()));
    x.host.choices.push_back(x.centre);

    EXPECT_EQ(x.run(), RunOutcome::Failed);
    ASSERT_EQ(x.host.log.size(), 2u);
    EXPECT_NE(x.host.log[1].find("'L' no es un valor entero válido"), std::string::npos) << x.host.log[1];
    EXPECT_FALSE(std::filesystem::exists(x.dir / "ResultadoHoravelcentro.xml"));
}

} // namespace
} // namespace almadia
