// The timetable export on arbitrary SOLUC bytes, against a fixed set of working tables written
// once into a folder of its own.

#include "formats/CentroDocument.h"
#include "formats/Dbase.h"
#include "formats/Error.h"
#include "formats/Layouts.h"
#include "import/TimetableExportRun.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

using namespace almadia;
namespace fs = std::filesystem;

constexpr std::string_view centre = R"(<?xml version="1.0" encoding="UTF-8"?>
<!-- Centro de prueba -->
<Centro Codigo="28001234" Nombre="IES Prueba" CursoEscolar="2025/2026" Version="1.0">
  <Materias><Materia Codigo="MATES-01" Denominacion="Matemáticas"/></Materias>
</Centro>
)";

// The working tables of a small centre, holding the codes the seed tables use.
void writeWorkingTables(const fs::path& folder) {
    using dbase::Row;
    using dbase::Table;
    const Table grupos{&layouts::GRUPOST(), {{"1A"}, {"1B"}, {"1ESOA"}, {"2BACHB"}}};
    const Table profesores{&layouts::PROFT(), {{"PRO1"}, {"PRO2"}, {"MU\xD1OZ"}, {"PEREZ"}}};
    const Table aulas{&layouts::AULAT(),
                      {{"A1", "Aula 1", {}, {}, "AULA-001"},
                       {"A1", "Otra", {}, {}, "AULA-999"},
                       {"LAB", "Laboratorio", {}, {}, "LAB-\xD1"}}};
    const Table asignaturas{&layouts::ASIGNOMT(),
                            {{"MAT", "MAT", "Matem\xE1ticas", {}, false, "MATES-01"},
                             {"LEN", "LEN", "Lengua", {}, false, "LENGUA"},
                             {"TUT", "TUT", "Acci\xF3n tutorial", {}, true, "TUTORIA"}}};
    auto slot = [](const char* diho, const char* from, const char* to) -> Row {
        return {diho, {}, {}, {}, {}, {}, from, to};
    };
    const Table tramos{&layouts::DIASHORAST(),
                       {slot("13", "10:00", "10:55"), slot("22,5", "09:00", "09:55"),
                        slot("510", "17:00", "17:55"), slot("81", "08:00", "08:55")}};
    const Table asigt{&layouts::ASIGT(), {}};
    dbase::writeTables(folder, {grupos, profesores, aulas, asignaturas, tramos, asigt});
}

struct Folder {
    fs::path path;
    Folder() {
        std::string name = (fs::temp_directory_path() / "almadia-fuzz-XXXXXX").string();
        if (!mkdtemp(name.data())) std::abort();
        path = name;
        writeWorkingTables(path);
    }
    ~Folder() {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const Folder folder;
    {
        std::ofstream out(folder.path / "SOLUC.DBF", std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    try {
        auto document = CentroDocument::parse(centre, "centro.xml");
        RunReport report;
        TimetableExportOptions options;
        options.moment = [] { return std::string("11/12/2026 10:30:00"); };
        exportTimetable(document, folder.path / "centro.xml", folder.path, report, options);
    } catch (const Error&) {
    }
    return 0;
}
