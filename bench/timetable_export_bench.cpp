// timetable_export_bench [ROWS]: times the timetable export on a large synthetic exchange folder: the
// working tables of a big centre (400 groups, 600 teachers, 300 classrooms, 1,000 subjects and
// activity types, 7 days of 12 slots) and a SOLUC of ROWS rows (1,000,000 by default) that mixes
// both passes and every kind of lookup miss. Prints the time of each step.

#include "formats/CentroDocument.h"
#include "formats/Dbase.h"
#include "formats/Layouts.h"
#include "import/TimetableExportRun.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <unistd.h>

using namespace almadia;
using Clock = std::chrono::steady_clock;

namespace {

double seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

std::string code(const char* prefix, std::size_t n) {
    return prefix + std::to_string(n);
}

} // namespace

int main(int argc, char** argv) {
    const std::size_t rows = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 1000000;
    const std::size_t groups = 400, teachers = 600, rooms = 300, subjects = 1000, days = 7, slots = 12;

    const auto folder =
        std::filesystem::temp_directory_path() / ("almadia-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder / "KTEMP");

    auto start = Clock::now();
    dbase::Table grupost{&layouts::GRUPOST(), {}}, proft{&layouts::PROFT(), {}}, aulat{&layouts::AULAT(), {}},
        asignomt{&layouts::ASIGNOMT(), {}}, tramos{&layouts::DIASHORAST(), {}}, asigt{&layouts::ASIGT(), {}};
    for (std::size_t i = 0; i < groups; ++i) grupost.rows.push_back({code("G", i)});
    for (std::size_t i = 0; i < teachers; ++i) proft.rows.push_back({code("P", i), "Profesor"});
    for (std::size_t i = 0; i < rooms; ++i)
        aulat.rows.push_back({code("A", i), "Aula", {}, {}, code("AULA-", i)});
    for (std::size_t i = 0; i < subjects; ++i)
        asignomt.rows.push_back({code("S", i), code("S", i), "Materia", {}, i % 10 == 0, code("MAT-", i)});
    for (std::size_t d = 1; d <= days; ++d)
        for (std::size_t h = 1; h <= slots; ++h)
            tramos.rows.push_back({std::to_string(d) + std::to_string(h),
                                   {},
                                   std::to_string(d),
                                   {},
                                   std::to_string(h),
                                   {},
                                   "08:00",
                                   "08:55"});
    dbase::writeTables(folder / "KTEMP", {grupost, proft, aulat, asignomt, tramos, asigt});

    static const dbase::TableLayout solucLayout{"SOLUC",
                                                {{"ASIG", dbase::FieldType::String, 10},
                                                 {"TAREA", dbase::FieldType::String, 10},
                                                 {"DIA", dbase::FieldType::Integer, 4},
                                                 {"HORA", dbase::FieldType::Float, 8},
                                                 {"CODGRUPO", dbase::FieldType::String, 10},
                                                 {"PROF", dbase::FieldType::String, 10},
                                                 {"AULA", dbase::FieldType::String, 10}},
                                                {}};
    dbase::Table soluc{&solucLayout, {}};
    soluc.rows.reserve(rows);
    for (std::size_t r = 0; r < rows; ++r) {
        // One row in 20 is an activity (second pass); a few miss a group, a teacher or a classroom.
        const std::string subject = code("S", (r * 7) % (subjects + 5));
        const std::string tarea = r % 20 == 0 ? subject : "CCM";
        soluc.rows.push_back({subject, tarea, std::int32_t(r % (days + 1)), double(1 + r % slots),
                              code("G", r % (groups + 3)), code("P", r % (teachers + 7)),
                              code("A", r % (rooms + 2))});
    }
    dbase::writeTables(folder / "KTEMP", {soluc});
    {
        std::ofstream centre(folder / "centro.xml");
        centre << "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<Centro Codigo=\"1\" Nombre=\"IES\" "
                  "CursoEscolar=\"2026/2027\" Version=\"1\"><Aulas/></Centro>\n";
    }
    std::cout << "tables and SOLUC (" << rows << " rows) written in " << seconds(start) << " s\n";

    start = Clock::now();
    auto document = CentroDocument::open(folder / "centro.xml");
    RunReport report;
    TimetableExportOptions options;
    options.moment = [] { return std::string("11/12/2026 10:20:30"); };
    const auto result = exportTimetable(document, folder / "centro.xml", folder / "KTEMP", report, options);
    std::cout << "timetable export: " << seconds(start) << " s, result " << std::filesystem::file_size(result)
              << " bytes\n"
              << report.text();

    std::filesystem::remove_all(folder);
    return 0;
}
