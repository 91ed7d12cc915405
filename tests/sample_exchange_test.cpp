// The bundled sample centre through the whole exchange: the seven tables as an independent dBase
// engine reads them, checked against the expected values kept in tests/data/sample/, and the
// way back through a demonstration timetable to the result document.

#include "export/ConversionRun.h"
#include "formats/CentroDocument.h"
#include "formats/Layouts.h"
#include "import/TimetableExportRun.h"
#include "support/FakeHost.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

using namespace almadia;
using almadia::testing::FakeHost;
using almadia::testing::TempDir;

namespace {

const std::filesystem::path sampleCentre =
    std::filesystem::path(ALMADIA_SOURCE_DIR) / "samples" / "centro.xml";

// The table as the independent engine gives it: its fields, then one line per row with the values
// joined by '|' (a null value as <null>).
std::string independentView(const std::filesystem::path& table) {
    std::string dump;
    const int status =
        almadia::testing::runCommand(almadia::testing::tdbfDump() + " '" + table.string() + "'", &dump);
    EXPECT_EQ(status, 0) << dump;
    std::istringstream lines(dump);
    std::string line, out, row;
    bool inRow = false;
    auto flush = [&] {
        if (inRow) out += row + '\n';
        row.clear();
    };
    while (std::getline(lines, line)) {
        if (line.rfind("FIELD ", 0) == 0) {
            out += line + '\n';
        } else if (line.rfind("ROW ", 0) == 0) {
            flush();
            inRow = true;
        } else if (line.rfind("VALUE ", 0) == 0) {
            const auto eq = line.find('=');
            row += (row.empty() ? "" : "|") + line.substr(eq + 1);
        } else if (line.rfind("NULL ", 0) == 0) {
            row += std::string(row.empty() ? "" : "|") + "<null>";
        }
    }
    flush();
    return out;
}

struct SampleExchange : ::testing::Test {
    TempDir folder;
    WindowState state;
    FakeHost host;

    void SetUp() override { state.exchangeFolder = folder.path() / "KTEMP"; }

    void convert() {
        std::filesystem::create_directory(state.exchangeFolder);
        host.choices.push_back(folder / "centro.xml");
        std::filesystem::copy_file(sampleCentre, folder / "centro.xml");
        ASSERT_EQ(runConversion(host, state), RunOutcome::Finished)
            << (host.errors.empty() ? "" : host.errors[0]);
    }
};

TEST_F(SampleExchange, TheSevenTablesReadBackAsExpectedByAnIndependentEngine) {
    if (almadia::testing::tdbfDump().empty()) GTEST_SKIP() << "Free Pascal is not installed";
    convert();
    const bool update = std::getenv("ALMADIA_UPDATE_FIXTURES") != nullptr;
    for (const auto* layout : layouts::all()) {
        SCOPED_TRACE(layout->name);
        const auto expectedFile = almadia::testing::dataFile("sample/" + layout->name + ".txt");
        const auto actual = independentView(state.exchangeFolder / (layout->name + ".DBF"));
        if (update) almadia::testing::writeText(expectedFile, actual);
        EXPECT_EQ(actual, almadia::testing::readText(expectedFile));
    }
    EXPECT_TRUE(std::filesystem::exists(state.exchangeFolder / "COUNTSES.MDX"));
}

TEST_F(SampleExchange, TheDemonstrationTimetableComesBackAsTheResultDocument) {
    convert();
    const std::string makeSoluc = std::string(ALMADIA_BINARY_DIR) + "/make_soluc";
    std::string output;
    ASSERT_EQ(
        almadia::testing::runCommand("'" + makeSoluc + "' '" + state.exchangeFolder.string() + "'", &output),
        0)
        << output;

    host.messages.clear();
    host.choices.push_back(std::nullopt); // the file chosen for the conversion is offered again
    ASSERT_EQ(runTimetableExport(host, state), RunOutcome::Finished)
        << (host.errors.empty() ? "" : host.errors[0]);
    EXPECT_EQ(state.EstadoTransformacion, 1);

    const auto result = folder / "ResultadoHoravelcentro.xml";
    const auto text = almadia::testing::readText(result);
    EXPECT_EQ(text.rfind("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>", 0), 0u);

    auto doc = CentroDocument::open(result);
    auto source = CentroDocument::open(sampleCentre);
    for (const char* name : {"Codigo", "Nombre", "CursoEscolar", "Version"})
        EXPECT_EQ(doc.root().attrUtf8(name), source.root().attrUtf8(name)) << name;
    EXPECT_TRUE(doc.select("/Centro/Materias").empty());
    const auto activities = doc.select("/Centro/horario/actividad");
    ASSERT_FALSE(activities.empty());
    std::size_t lessons = 0;
    for (const auto& activity : activities) {
        if (!activity.attr("codigoMateria").empty()) {
            ++lessons;
            EXPECT_FALSE(activity.attr("codigoGrupo").empty());
        }
        EXPECT_FALSE(activity.attr("dia").empty());
        EXPECT_EQ(activity.attr("HoraInicio").size(), 5u);
    }
    EXPECT_GT(lessons, activities.size() / 2);
}

} // namespace
