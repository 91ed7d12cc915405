// Wrong, broken and malicious inputs through both runs: each is turned away with a message that
// names the file, and nothing in the exchange folder (nor a result) is written.

#include "export/ConversionRun.h"
#include "import/TimetableExportRun.h"
#include "support/FakeHost.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace almadia {
namespace {

namespace fs = std::filesystem;
using testing::dataFile;
using testing::FakeHost;
using testing::readText;
using testing::TempDir;
using testing::writeText;

// Every text the run showed: messages, their details, errors.
std::string everything(const FakeHost& host) {
    std::string joined;
    for (const auto& [text, details] : host.messages) joined += text + "\n" + details + "\n";
    for (const auto& error : host.errors) joined += error + "\n";
    return joined;
}

using almadia::testing::Snapshot;
using almadia::testing::snapshot;

// What the entity of the external-entity fixtures points at: were it ever read, this subject
// would reach ASIGNOMT and the result.
constexpr const char* secretMarker = "Contenido secreto 5c1d";
const std::string secretContent =
    std::string("<Materia Codigo=\"SECRETO\" Denominacion=\"") + secretMarker + "\"/>\n";

// Makes the input at `file`; `secret` is the path of the file nobody may read.
using Maker = std::function<void(const fs::path& file, const fs::path& secret)>;

Maker fixture(const std::string& name) {
    return [name](const fs::path& file, const fs::path& secret) {
        std::string text = readText(dataFile("hostile/" + name));
        for (std::size_t at; (at = text.find("@SECRETO@")) != std::string::npos;)
            text.replace(at, 9, secret.string());
        writeText(file, text);
    };
}

constexpr const char* centreStart =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<Centro Codigo=\"28001234\" Nombre=\"IES Prueba\" CursoEscolar=\"2025/2026\" Version=\"1.0\">\n";

void writeDeepNesting(const fs::path& file, const fs::path&) {
    constexpr int levels = 100000;
    std::ofstream out(file, std::ios::binary);
    out << centreStart;
    for (int i = 0; i < levels; ++i) out << "<Materias>";
    out << "<Materia Codigo=\"MAT\" Denominacion=\"Hondo\"/>";
    for (int i = 0; i < levels; ++i) out << "</Materias>";
    out << "</Centro>\n";
}

void writeHugeAttribute(const fs::path& file, const fs::path&) {
    std::ofstream out(file, std::ios::binary);
    out << centreStart << "<Materias><Materia Codigo=\"MAT\" Denominacion=\"";
    const std::string block(1 << 20, 'x');
    for (int i = 0; i < 50; ++i) out << block;
    out << "\"/></Materias></Centro>\n";
}

void makeFolder(const fs::path& file, const fs::path&) {
    fs::create_directory(file);
    writeText(file / "dentro.xml", centreStart + std::string("</Centro>\n"));
}

struct CentreCase {
    const char* name;
    Maker make;
    // The runs turn it away before opening anything, with their fixed messages.
    bool noFile = false;
};

const std::vector<CentreCase> centreCases = {
    {"entidad-externa.xml", fixture("entidad-externa.xml")},
    {"entidad-parametro.xml", fixture("entidad-parametro.xml")},
    {"mil-millones-de-risas.xml", fixture("mil-millones-de-risas.xml")},
    {"anidado-100000.xml", writeDeepNesting},
    {"atributo-50MB.xml", writeHugeAttribute},
    {"utf8-invalido.xml", fixture("utf8-invalido.xml")},
    {"cortado.xml", fixture("cortado.xml")},
    {"vacio.xml", fixture("vacio.xml")},
    {"binario.xml", fixture("binario.xml")},
    {"carpeta.xml", makeFolder, true},
};

struct HostileInputs : ::testing::Test {
    TempDir dir;
    fs::path exchange = dir / "KTEMP";
    fs::path centres = dir / "centros";
    fs::path secret = dir / "secreto.xml";

    void SetUp() override {
        fs::create_directory(exchange);
        fs::create_directory(centres);
        writeText(secret, secretContent);
        // The working tables of the sample centre, and a solution that fits them.
        WindowState state;
        state.exchangeFolder = exchange;
        FakeHost host;
        host.choices.push_back(dataFile("export/centro.xml"));
        ASSERT_EQ(runConversion(host, state), RunOutcome::Finished) << everything(host);
        fs::copy_file(dataFile("hostile/soluc-filas-borradas.dbf"), exchange / "SOLUC.DBF");
    }

    RunOutcome run(bool conversion, const fs::path& centre, FakeHost& host) {
        WindowState state;
        state.exchangeFolder = exchange;
        host.choices.push_back(centre);
        TimetableExportOptions options;
        options.moment = [] { return std::string("01/06/2026 10:00:00"); };
        return conversion ? runConversion(host, state) : runTimetableExport(host, state, options);
    }
};

TEST_F(HostileInputs, CentreFilesAreTurnedAwayInBothDirections) {
    const Snapshot tables = snapshot(exchange);
    for (const auto& c : centreCases) {
        SCOPED_TRACE(c.name);
        const fs::path file = centres / c.name;
        c.make(file, secret);
        const Snapshot beside = snapshot(centres);
        for (const bool conversion : {true, false}) {
            SCOPED_TRACE(conversion ? "exportar" : "importar");
            FakeHost host;
            EXPECT_EQ(run(conversion, file, host), RunOutcome::Refused) << everything(host);
            EXPECT_TRUE(host.errors.empty()) << everything(host);
            ASSERT_FALSE(host.messages.empty());
            const std::string& shown = host.messages.back().first;
            if (c.noFile)
                EXPECT_EQ(shown, conversion ? messages::NoFile : messages::NoFileOrSolution);
            else
                EXPECT_NE(shown.find("\"" + file.string() + "\""), std::string::npos) << shown;
            EXPECT_EQ(everything(host).find(secretMarker), std::string::npos) << everything(host);
            EXPECT_EQ(snapshot(exchange), tables);
            EXPECT_EQ(snapshot(centres), beside); // no result, no temporary file
        }
        fs::remove_all(file);
    }
}

struct SolutionCase {
    const char* name;
    std::string bytes; // the SOLUC.DBF the run finds
    // Part of the error that tells the fault; empty when the run finishes.
    const char* fault;
};

std::vector<SolutionCase> solutionCases() {
    auto file = [](const char* name) { return readText(dataFile(std::string("hostile/") + name)); };
    return {
        {"registros de más", file("soluc-mas-registros.dbf"), "anuncia 40 registros"},
        {"cabecera incoherente", file("soluc-cabecera-incoherente.dbf"), "longitud de cabecera"},
        {"último registro cortado", file("soluc-ultimo-cortado.dbf"), "anuncia 3 registros"},
        {"campo repetido", file("soluc-campo-repetido.dbf"), "el campo PROF aparece dos veces"},
        {"faltan campos", file("soluc-faltan-campos.dbf"), "no tiene el campo PROF"},
        {"archivo vacío", "", "demasiado corto"},
        {"filas borradas", file("soluc-filas-borradas.dbf"), ""},
    };
}

TEST_F(HostileInputs, BrokenSolutionTablesStopTheRunWithoutAResult) {
    const fs::path centre = centres / "centro.xml";
    fs::copy_file(dataFile("export/centro.xml"), centre);
    const fs::path result = resultFileName(centre);
    const fs::path soluc = exchange / "SOLUC.DBF";
    for (const auto& c : solutionCases()) {
        SCOPED_TRACE(c.name);
        writeText(soluc, c.bytes);
        const Snapshot tables = snapshot(exchange);
        FakeHost host;
        const RunOutcome outcome = run(false, centre, host);
        EXPECT_EQ(snapshot(exchange), tables);
        if (*c.fault == '\0') {
            // Deleted rows are skipped like rows that were never there.
            ASSERT_EQ(outcome, RunOutcome::Finished) << everything(host);
            const std::string written = readText(result);
            EXPECT_NE(written.find("tipo=\"DOC\""), std::string::npos) << written;
            EXPECT_NE(written.find("tipo=\"GUARDIA\""), std::string::npos) << written;
            EXPECT_EQ(written.find("BORRADA"), std::string::npos) << written;
            fs::remove(result);
        } else {
            EXPECT_EQ(outcome, RunOutcome::Failed);
            ASSERT_EQ(host.errors.size(), 1u) << everything(host);
            EXPECT_NE(host.errors[0].find(soluc.string()), std::string::npos) << host.errors[0];
            EXPECT_NE(host.errors[0].find(c.fault), std::string::npos) << host.errors[0];
        }
        EXPECT_EQ(snapshot(centres), (Snapshot{{"centro.xml", readText(centre)}}));
    }
}

} // namespace
} // namespace almadia
