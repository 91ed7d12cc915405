// A file system that says no: almadia-cli against missing and read-only folders, files that cannot
// be replaced and a disk that fills up. Every failure names the file, leaves each table and the
// result either old or new, and leaves no temporary file behind.
//
// The tests run as root, for whom permission bits stop nothing; the runs that must be refused a
// write are made as the unprivileged user 65534 (setpriv). A full disk is a small tmpfs mounted in
// a private mount namespace where the machine allows it, and a file-size limit (ulimit -f) always.

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <string>

namespace almadia {
namespace {

namespace fs = std::filesystem;
using testing::dataFile;
using testing::readText;
using testing::runCommand;
using testing::TempDir;
using testing::writeText;

const std::string cli = std::string(ALMADIA_BINARY_DIR) + "/almadia-cli";

std::string quote(const std::string& text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}
std::string quote(const fs::path& path) {
    return quote(path.string());
}

using almadia::testing::Snapshot;
using almadia::testing::snapshot;

// Every file is the old one or the new one, and nothing else is there.
void expectOldOrNew(const Snapshot& after, const Snapshot& old, const Snapshot& fresh) {
    for (const auto& [name, bytes] : after) {
        SCOPED_TRACE(name);
        const auto o = old.find(name);
        const auto n = fresh.find(name);
        EXPECT_TRUE((o != old.end() && o->second == bytes) || (n != fresh.end() && n->second == bytes))
            << "ni el antiguo ni el nuevo (" << bytes.size() << " bytes)";
    }
}

// The command prefix that runs a program without the right to write where root alone may;
// nullopt when this machine cannot drop privileges.
std::optional<std::string> unprivileged() {
    if (::geteuid() != 0) return std::string(); // permission bits already apply
    const std::string prefix = "setpriv --reuid=65534 --regid=65534 --clear-groups ";
    if (runCommand(prefix + "true 2>/dev/null") != 0) return std::nullopt;
    return prefix;
}

bool canMountTmpfs(const fs::path& where) {
    return runCommand("unshare -m sh -c " + quote("mount -t tmpfs -o size=16k almadia " + quote(where)) +
                      " 2>/dev/null") == 0;
}

// A centre whose PROFT is far bigger than its ASIGNOMT, so that a disk can fill in the middle.
void writeBigCentre(const fs::path& file, int teachers) {
    std::ofstream out(file, std::ios::binary);
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<Centro Codigo=\"28009999\" Nombre=\"IES Grande\" CursoEscolar=\"2025/2026\" Version=\"1.0\">\n"
           "<Materias><Materia Codigo=\"FIS\" Denominacion=\"Física\"/></Materias>\n"
           "<Departamentos><Departamento Codigo=\"CIE\" Denominacion=\"Ciencias\"/></Departamentos>\n"
           "<Profesores>\n";
    for (int i = 0; i < teachers; ++i)
        out << "<Profesor Codigo=\"P" << i << "\" Nombre=\"Nombre" << i << "\" Apellido1=\"Apellido" << i
            << "\" Apellido2=\"Segundo\" CodigoDep=\"CIE\"/>\n";
    out << "</Profesores>\n"
           "<Sesiones><Sesion Dia=\"L\" HoraInicio=\"09:00\" HoraFin=\"10:00\"/></Sesiones>\n"
           "</Centro>\n";
}

struct CliResult {
    int status;
    std::string out, err;
};

struct FileFaults : ::testing::Test {
    TempDir dir;
    fs::path exchange = dir / "KTEMP";
    fs::path centres = dir / "centros";
    fs::path errFile = dir / "stderr.txt";
    fs::path oldCentre = centres / "centro.xml";
    fs::path newCentre = centres / "grande.xml";
    Snapshot oldTables, newTables;

    void SetUp() override {
        fs::create_directory(exchange);
        fs::create_directory(centres);
        fs::copy_file(dataFile("export/centro.xml"), oldCentre);
        writeBigCentre(newCentre, 3000);
        ASSERT_EQ(cliRun("", "exportar " + quote(oldCentre) + " --carpeta " + quote(exchange)).status, 0);
        oldTables = snapshot(exchange);
        TempDir scratch;
        ASSERT_EQ(cliRun("", "exportar " + quote(newCentre) + " --carpeta " + quote(scratch.path())).status,
                  0);
        newTables = snapshot(scratch.path());
        ASSERT_NE(oldTables, newTables);
    }

    // almadia-cli ARGS behind `prefix`; the shell opens the error file before the prefix runs.
    CliResult cliRun(const std::string& prefix, const std::string& args, const std::string& env = "") {
        CliResult run;
        run.status = runCommand(env + prefix + quote(cli) + " " + args + " 2>" + quote(errFile), &run.out);
        run.err = readText(errFile);
        return run;
    }

    void importSetUp() {
        fs::copy_file(dataFile("hostile/soluc-filas-borradas.dbf"), exchange / "SOLUC.DBF");
        writeText(centres / "ResultadoHoravelcentro.xml", "<resultado anterior/>\n");
        fs::remove(newCentre);
    }
};

TEST_F(FileFaults, MissingExchangeFolder) {
    const fs::path missing = dir / "no-existe";
    // The folder by default (ALMADIA_KTEMP): the conversion stops when it comes to write.
    CliResult run = cliRun("", "exportar " + quote(newCentre), "ALMADIA_KTEMP=" + quote(missing) + " ");
    EXPECT_EQ(run.status, 1) << run.out << run.err;
    EXPECT_NE(run.err.find(missing.string()), std::string::npos) << run.err;
    // The timetable export finds no solution there.
    importSetUp();
    run = cliRun("", "importar " + quote(oldCentre), "ALMADIA_KTEMP=" + quote(missing) + " ");
    EXPECT_EQ(run.status, 2) << run.out << run.err;
    EXPECT_NE(run.out.find("No existe archivo XML o Solución."), std::string::npos) << run.out;
    // A folder given on the command line is checked before anything else.
    run = cliRun("", "exportar " + quote(newCentre) + " --carpeta " + quote(missing));
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find(missing.string()), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(missing));
    EXPECT_EQ(readText(centres / "ResultadoHoravelcentro.xml"), "<resultado anterior/>\n");
}

TEST_F(FileFaults, FolderInPlaceOfATable) {
    fs::remove(exchange / "PROFT.DBF");
    fs::create_directory(exchange / "PROFT.DBF");
    writeText(exchange / "PROFT.DBF" / "dentro.txt", "no se toca\n");
    const Snapshot before = snapshot(exchange);
    const CliResult run = cliRun("", "exportar " + quote(newCentre) + " --carpeta " + quote(exchange));
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("«" + (exchange / "PROFT.DBF").string() + "»"), std::string::npos) << run.err;
    // Found before any table was replaced.
    EXPECT_EQ(snapshot(exchange), before);
    EXPECT_EQ(readText(exchange / "PROFT.DBF" / "dentro.txt"), "no se toca\n");
}

TEST_F(FileFaults, ReadOnlyExchangeFolder) {
    const auto prefix = unprivileged();
    if (!prefix) {
        GTEST_SKIP() << "no se puede ejecutar como usuario sin privilegios";
    }
    fs::permissions(exchange, fs::perms::owner_write, fs::perm_options::remove);
    const CliResult run = cliRun(*prefix, "exportar " + quote(newCentre) + " --carpeta " + quote(exchange));
    fs::permissions(exchange, fs::perms::owner_write, fs::perm_options::add);
    EXPECT_EQ(run.status, 1) << run.out;
    EXPECT_NE(run.err.find("«" + (exchange / "ASIGNOMT.DBF").string() + "»"), std::string::npos) << run.err;
    EXPECT_EQ(snapshot(exchange), oldTables);
}

// As when the timetabling program holds PROFT open: the folder lets the run create files, but
// PROFT.DBF belongs to someone else in a sticky folder, so it cannot be replaced. ASIGNOMT, put in
// place just before, is already the new one; every other table stays the old one.
TEST_F(FileFaults, TableThatCannotBeReplaced) {
    const auto prefix = unprivileged();
    if (!prefix || prefix->empty()) {
        GTEST_SKIP() << "hace falta root para dar las tablas a otro usuario";
    }
    for (const auto& [name, bytes] : oldTables)
        if (name != "PROFT.DBF") {
            ASSERT_EQ(::chown((exchange / name).c_str(), 65534, 65534), 0);
        }
    fs::permissions(exchange, fs::perms::all | fs::perms::sticky_bit);
    const CliResult run = cliRun(*prefix, "exportar " + quote(newCentre) + " --carpeta " + quote(exchange));
    EXPECT_EQ(run.status, 1) << run.out;
    EXPECT_NE(run.err.find("«" + (exchange / "PROFT.DBF").string() + "»"), std::string::npos) << run.err;
    const Snapshot after = snapshot(exchange);
    EXPECT_EQ(after.at("ASIGNOMT.DBF"), newTables.at("ASIGNOMT.DBF"));
    EXPECT_EQ(after.at("PROFT.DBF"), oldTables.at("PROFT.DBF"));
    EXPECT_EQ(after.size(), oldTables.size());
    expectOldOrNew(after, oldTables, newTables);
}

TEST_F(FileFaults, ResultFolderReadOnlyOrResultNotReplaceable) {
    const auto prefix = unprivileged();
    if (!prefix) {
        GTEST_SKIP() << "no se puede ejecutar como usuario sin privilegios";
    }
    importSetUp();
    const fs::path result = centres / "ResultadoHoravelcentro.xml";
    const Snapshot tables = snapshot(exchange);
    const Snapshot beside = snapshot(centres);
    struct Case {
        const char* name;
        fs::perms folder;
    };
    // Read-only folder; and a writable sticky folder where the old result belongs to root.
    std::vector<Case> cases = {{"carpeta de solo lectura", fs::perms(0555)}};
    if (!prefix->empty())
        cases.push_back({"resultado de otro usuario", fs::perms::all | fs::perms::sticky_bit});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::permissions(centres, c.folder);
        const CliResult run =
            cliRun(*prefix, "importar " + quote(oldCentre) + " --carpeta " + quote(exchange));
        fs::permissions(centres, fs::perms(0755));
        EXPECT_EQ(run.status, 1) << run.out;
        EXPECT_NE(run.err.find("\"" + result.string() + "\""), std::string::npos) << run.err;
        EXPECT_EQ(snapshot(centres), beside);
        EXPECT_EQ(snapshot(exchange), tables);
    }
}

// The disk fills while the new files are written: by a small tmpfs over the folder (the old files
// copied in first), or by a per-file size limit. The free room lets the first temporary files be
// written and not the rest.
TEST_F(FileFaults, DiskFullPartWay) {
    struct Case {
        const char* name;
        bool conversion;
        bool tmpfs;
        const char* limit; // tmpfs size, or ulimit -f in blocks of 512 bytes
        const char* named; // the file the message names: the first that did not fit
        const char* reason;
    };
    const std::vector<Case> cases = {
        {"tablas en tmpfs lleno", true, true, "64k", "«@/PROFT.DBF»", "no queda espacio en el disco"},
        {"tablas con límite de tamaño", true, false, "64", "«@/PROFT.DBF»", "supera el tamaño"},
        {"resultado en tmpfs lleno", false, true, "8k", "\"@/ResultadoHoravelcentro.xml\"", ""},
        {"resultado con límite de tamaño", false, false, "2", "\"@/ResultadoHoravelcentro.xml\"", ""},
    };
    const bool mountable = canMountTmpfs(dir.path());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.tmpfs && !mountable) {
            std::cout << "[ OMITIDO  ] " << c.name << ": no se puede montar tmpfs\n";
            continue;
        }
        TempDir work;
        const fs::path seed = work / "antes";
        const fs::path target = work / "carpeta";
        const fs::path after = work / "despues";
        for (const auto& folder : {seed, target, after}) fs::create_directory(folder);
        std::string args;
        if (c.conversion) {
            fs::copy(exchange, seed);
            args = "exportar " + quote(newCentre) + " --carpeta " + quote(target);
        } else {
            fs::copy_file(dataFile("hostile/soluc-filas-borradas.dbf"), exchange / "SOLUC.DBF");
            // A long name, which the result repeats, makes the result outgrow the limit part-way.
            std::string centre = readText(oldCentre);
            centre.replace(centre.find("IES Prueba"), 10, std::string(2000, 'N'));
            writeText(seed / "centro.xml", centre);
            writeText(seed / "ResultadoHoravelcentro.xml", "<resultado anterior/>\n");
            args = "importar " + quote(target / "centro.xml") + " --carpeta " + quote(exchange);
        }
        const Snapshot old = snapshot(seed);
        const std::string redirect = " >/dev/null 2>" + quote(errFile);
        std::string command;
        if (c.tmpfs) {
            const std::string inside = "mount -t tmpfs -o size=" + std::string(c.limit) + " almadia " +
                                       quote(target) + " && cp -a " + quote(seed.string() + "/.") + " " +
                                       quote(target) + " && { " + quote(cli) + " " + args + redirect +
                                       "; status=$?; cp -a " + quote(target.string() + "/.") + " " +
                                       quote(after) + "; exit $status; }";
            command = "unshare -m sh -c " + quote(inside);
        } else {
            fs::copy(seed, target);
            command = "sh -c " + quote("trap '' XFSZ; ulimit -f " + std::string(c.limit) + "; exec " +
                                       quote(cli) + " " + args + redirect);
        }
        const int status = runCommand(command);
        const std::string err = readText(errFile);
        const Snapshot result = snapshot(c.tmpfs ? after : target);
        std::string named = c.named;
        named.replace(named.find('@'), 1, target.string());
        EXPECT_EQ(status, 1) << err;
        EXPECT_NE(err.find(named), std::string::npos) << err;
        EXPECT_NE(err.find(c.reason), std::string::npos) << err;
        EXPECT_EQ(result, old);
        if (!c.conversion) fs::remove(exchange / "SOLUC.DBF");
    }
}

} // namespace
} // namespace almadia
