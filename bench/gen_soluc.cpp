// Writes a large SOLUC.DBF for the benchmarks from the working tables a conversion left.
//
//   gen_soluc CARPETA FILAS
//
// Each row is a lesson (a group's subject, a teacher, a classroom, a time slot) or, one row in
// ten, an activity (ASIG = TAREA = an activity type). About one row in a hundred names a group
// or slot the tables lack, as a timetable edited by hand may. It is not a timetable: nothing
// stops two lessons sharing a teacher or a classroom.

#include "formats/Dbase.h"
#include "formats/Error.h"
#include "formats/ExchangeFolder.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

namespace fs = std::filesystem;
using namespace almadia;

namespace {

class Random {
public:
    unsigned next() {
        state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<unsigned>(state_ >> 33);
    }
    unsigned below(std::size_t n) { return n ? next() % n : 0; }

private:
    unsigned long long state_ = 1000003;
};

using dbase::openTable;

std::vector<std::string> column(const dbase::DbfReader& table, const char* field) {
    const int f = table.requireField(field);
    std::vector<std::string> values;
    for (std::size_t r = 0; r < table.rowCount(); ++r) values.push_back(table.text(r, f));
    return values;
}

const dbase::TableLayout& solucLayout() {
    using T = dbase::FieldType;
    static const dbase::TableLayout layout{"SOLUC",
                                           {{"ASIG", T::String, 10},
                                            {"TAREA", T::String, 10},
                                            {"DIA", T::Integer, 4},
                                            {"HORA", T::Integer, 4},
                                            {"CODGRUPO", T::String, 10},
                                            {"PROF", T::String, 10},
                                            {"AULA", T::String, 10}},
                                           {}};
    return layout;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "Uso: gen_soluc CARPETA FILAS\n";
        return 2;
    }
    const fs::path folder = argv[1];
    const long rowCount = std::atol(argv[2]);
    if (rowCount < 0) {
        std::cerr << "Número de filas no válido: " << argv[2] << '\n';
        return 2;
    }

    try {
        auto subjects = openTable(folder, "ASIGNOMT");
        const int cod = subjects.requireField("COD");
        const int isActivity = subjects.requireField("ESTAREA");
        std::vector<std::string> lessons, activities;
        for (std::size_t r = 0; r < subjects.rowCount(); ++r)
            (subjects.text(r, isActivity) == "T" ? activities : lessons).push_back(subjects.text(r, cod));

        const auto groups = column(openTable(folder, "GRUPOST"), "ABREV");
        const auto teachers = column(openTable(folder, "PROFT"), "ABREV");
        const auto rooms = column(openTable(folder, "AULAT"), "ABREV");
        auto grid = openTable(folder, "DIASHORAST");
        std::vector<std::pair<std::int32_t, std::int32_t>> slots;
        const int dia = grid.requireField("DIA"), hora = grid.requireField("HORA");
        for (std::size_t r = 0; r < grid.rowCount(); ++r)
            slots.emplace_back(grid.integer(r, dia), grid.integer(r, hora));

        if (lessons.empty() || groups.empty() || slots.empty()) {
            std::cerr << "Las tablas de " << folder.string() << " no tienen materias, grupos o tramos\n";
            return 1;
        }
        if (activities.empty()) activities = lessons;

        Random random;
        dbase::Table table{&solucLayout(), {}};
        table.rows.reserve(static_cast<std::size_t>(rowCount));
        for (long i = 0; i < rowCount; ++i) {
            auto [day, slot] = slots[random.below(slots.size())];
            std::string group = groups[random.below(groups.size())];
            const unsigned kind = random.below(100);
            if (kind == 0) group = "ZZ" + std::to_string(i % 1000); // a group the tables lack
            if (kind == 1) slot = 0;                                // a slot Horavel left empty
            const bool activity = kind >= 90;
            std::string asig = activity ? activities[random.below(activities.size())]
                                        : lessons[random.below(lessons.size())];
            std::string tarea = activity ? asig : std::string("CCM");
            std::string teacher = teachers.empty() ? "" : teachers[random.below(teachers.size())];
            std::string room = kind % 7 == 3 || rooms.empty() ? "" : rooms[random.below(rooms.size())];
            table.rows.push_back({std::move(asig), std::move(tarea), day, slot, std::move(group),
                                  std::move(teacher), std::move(room)});
        }
        dbase::writeTables(folder, {table});
        std::cerr << (folder / "SOLUC.DBF").string() << ": " << rowCount << " filas\n";
    } catch (const Error& error) {
        std::cerr << error.what() << '\n';
        return 1;
    }
    return 0;
}
