#include "export/ConversionRun.h"

#include "formats/Error.h"
#include "formats/Layouts.h"
#include "support/FakeHost.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <deque>
#include <map>
#include <string>
#include <vector>

using namespace almadia;
using almadia::testing::dataFile;
using almadia::testing::FakeHost;
using almadia::testing::TempDir;

namespace {

using almadia::testing::Snapshot;
using almadia::testing::snapshot;

std::vector<std::string> names(const Snapshot& files) {
    std::vector<std::string> out;
    for (const auto& [name, bytes] : files) out.push_back(name);
    return out;
}

struct ConversionRunTest : ::testing::Test {
    TempDir folder;
    WindowState state;
    FakeHost host;

    void SetUp() override { state.exchangeFolder = folder.path(); }

    // A finished run on the small centre, leaving the seven tables in the folder.
    void convertSample() {
        host.choices.push_back(dataFile("export/centro.xml"));
        ASSERT_EQ(runConversion(host, state), RunOutcome::Finished) << ::testing::PrintToString(host.errors);
    }
};

TEST_F(ConversionRunTest, CancelledFirstChoiceIsRefused) {
    for (const bool embedded : {false, true}) {
        WindowState fresh;
        fresh.exchangeFolder = folder.path();
        fresh.embedded = embedded;
        FakeHost cancelling;
        cancelling.choices.push_back(std::nullopt);
        EXPECT_EQ(runConversion(cancelling, fresh), RunOutcome::Refused);
        ASSERT_EQ(cancelling.messages.size(), 1u);
        EXPECT_EQ(cancelling.messages[0].first, "No existe archivo");
        EXPECT_EQ(fresh.EstadoTransformacion, embedded ? -1 : 0);
        EXPECT_EQ(cancelling.closed, embedded ? 1 : 0);
        EXPECT_FALSE(cancelling.busy);
    }
    EXPECT_TRUE(snapshot(folder.path()).empty());
}

TEST_F(ConversionRunTest, MissingFileOrFolderIsRefused) {
    TempDir other;
    for (const auto& path : {other / "no-existe.xml", other.path()}) {
        host.choices.push_back(path);
        EXPECT_EQ(runConversion(host, state), RunOutcome::Refused) << path;
        EXPECT_EQ(host.messages.back().first, "No existe archivo");
    }
    EXPECT_TRUE(snapshot(folder.path()).empty());
}

TEST_F(ConversionRunTest, FinishedRunWritesTheTablesAndReports) {
    almadia::testing::writeText(folder / "CURSOST.DBF", "old");
    almadia::testing::writeText(folder / "CURSOST.MDX", "old");
    state.embedded = true;
    convertSample();

    EXPECT_EQ(names(snapshot(folder.path())),
              (std::vector<std::string>{"ASIGNOMT.DBF", "ASIGT.DBF", "AULAT.DBF", "COUNTSES.DBF",
                                        "COUNTSES.MDX", "DIASHORAST.DBF", "GRUPOST.DBF", "PROFT.DBF"}));
    EXPECT_EQ(state.EstadoTransformacion, 1);
    EXPECT_EQ(host.closed, 1);
    EXPECT_FALSE(host.busy);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].first, "Proceso finalizado");
    const std::string& details = host.messages[0].second;
    for (const char* line : {"ASIGNOMT: 3 filas", "PROFT: 2 filas", "AULAT: 1 fila", "GRUPOST: 1 fila",
                             "DIASHORAST: 3 filas", "COUNTSES: 2 filas", "ASIGT: 2 filas",
                             "Profesor n.º 2 (línea 15): el código 'apd' está repetido, se escribe 'apd1'."})
        EXPECT_NE(details.find(line), std::string::npos) << line << "\n" << details;
    EXPECT_EQ(state.lengths.Duracion1, 55);
    EXPECT_EQ(state.lengths.Duracion2, 60);

    // Read back: what the tables hold is what the builders computed.
    const auto asigt = dbase::DbfReader::open(folder / "ASIGT.DBF");
    ASSERT_EQ(asigt.rowCount(), 2u);
    EXPECT_EQ(asigt.text(1, asigt.requireField("CASIG")), "LEN");
    EXPECT_EQ(asigt.number(1, asigt.requireField("HORAS")), 3.0); // 165 minutes fit 55
    EXPECT_EQ(asigt.text(1, asigt.requireField("SESIONES")), "111");
    const auto grupos = dbase::DbfReader::open(folder / "GRUPOST.DBF");
    EXPECT_EQ(grupos.text(0, grupos.requireField("TUTOR")), "APD");
    EXPECT_EQ(grupos.text(0, grupos.requireField("DESCRIP")),
              "1\xBA ESO A (Educaci\xF3n Secundaria Obligatoria)");
}

TEST_F(ConversionRunTest, SecondRunReusesTheFileAndGivesTheSameTables) {
    convertSample();
    const auto first = snapshot(folder.path());
    host.choices.push_back(std::nullopt); // the dialog cancelled: the same file again
    EXPECT_EQ(runConversion(host, state), RunOutcome::Finished);
    EXPECT_EQ(snapshot(folder.path()), first);
    EXPECT_EQ(host.messages.size(), 2u);
    EXPECT_EQ(host.messages[0], host.messages[1]) << "the report is the same too";
}

TEST_F(ConversionRunTest, FileThatIsNoCentreDocumentIsRefused) {
    convertSample();
    const auto before = snapshot(folder.path());
    for (const bool embedded : {false, true}) {
        state.embedded = embedded;
        state.EstadoTransformacion = 1;
        host.closed = 0;
        host.choices.push_back(dataFile("export/no-xml.txt"));
        EXPECT_EQ(runConversion(host, state), RunOutcome::Refused);
        EXPECT_NE(host.messages.back().first.find("no-xml.txt"), std::string::npos)
            << host.messages.back().first;
        EXPECT_EQ(state.EstadoTransformacion, embedded ? -1 : 1);
        EXPECT_EQ(host.closed, embedded ? 1 : 0);
        EXPECT_FALSE(host.busy);
    }
    EXPECT_TRUE(host.errors.empty());
    EXPECT_EQ(snapshot(folder.path()), before);
}

// A run that stops leaves every table as it was: nothing is written until all are computed.
TEST_F(ConversionRunTest, StoppedRunLeavesTheOldTables) {
    convertSample();
    const auto before = snapshot(folder.path());
    state.embedded = true;
    state.EstadoTransformacion = 7;

    const std::vector<Builder> failing{
        {"first",
         [](BuildContext& context) {
             context.tables.push_back({&layouts::PROFT(), {{std::string("X")}}});
         }},
        {"second", [](BuildContext&) { throw Error("La tabla AULAT no se puede calcular."); }},
    };
    host.choices.push_back(dataFile("export/centro.xml"));
    EXPECT_EQ(runConversion(host, state, failing), RunOutcome::Failed);
    ASSERT_EQ(host.errors.size(), 1u);
    EXPECT_EQ(host.errors[0], "La tabla AULAT no se puede calcular.");

    host.choices.push_back(dataFile("export/horas-mal.xml"));
    EXPECT_EQ(runConversion(host, state), RunOutcome::Failed);
    ASSERT_EQ(host.errors.size(), 2u);
    EXPECT_NE(host.errors[1].find("horas-mal.xml"), std::string::npos) << host.errors[1];
    EXPECT_NE(host.errors[1].find("MateriaGrupo n.º 2 (línea 27, grupo '1ESOA')"), std::string::npos)
        << host.errors[1];
    EXPECT_NE(host.errors[1].find("'2h45' no es un valor punto flotante válido"), std::string::npos)
        << host.errors[1];

    EXPECT_EQ(snapshot(folder.path()), before);
    EXPECT_EQ(state.EstadoTransformacion, 7) << "a stopped run leaves the status";
    EXPECT_EQ(host.closed, 0) << "and the window open";
    EXPECT_FALSE(host.busy);
    EXPECT_EQ(host.messages.size(), 1u) << "no Proceso finalizado";
}

} // namespace
