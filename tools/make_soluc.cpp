// make_soluc FOLDER: writes a plausible SOLUC.DBF into FOLDER from the working tables there, as the
// timetabling program would after computing a timetable. Each group's subject loads are placed
// greedily into free time slots with a teacher and a classroom that are not double-booked, and a
// few non-teaching activities (ASIG = TAREA) are added for the teachers. A demo and test aid: it
// makes no attempt at a good timetable.

#include "formats/Dbase.h"
#include "formats/Error.h"
#include "formats/ExchangeFolder.h"

#include <algorithm>
#include <cmath>
#include <iostream>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <unordered_map>
#include <vector>

using namespace almadia;
using dbase::DbfReader;
using dbase::openTable;

namespace {

struct Slot {
    int day, number;
    bool operator<(const Slot& other) const {
        return std::tie(day, number) < std::tie(other.day, other.number);
    }
};

struct Group {
    std::string code;
    std::tuple<std::string, std::string, std::string, std::string> key; // TURNO, NIVEL, CURSO, GRUPO
};

int wholeNumber(const std::string& text) {
    try {
        return std::stoi(text);
    } catch (...) {
        return 0;
    }
}

// The sessions of a subject load: HORAS rounded up, or the "1"s of SESIONES when HORAS is empty.
int sessions(const DbfReader& asigt, std::size_t row, int horas, int pattern) {
    const double hours = horas >= 0 ? asigt.number(row, horas) : 0;
    if (hours > 0) return static_cast<int>(std::ceil(hours));
    if (pattern < 0) return 0;
    const std::string text = asigt.text(row, pattern);
    return static_cast<int>(std::count(text.begin(), text.end(), '1'));
}

const dbase::TableLayout& solucLayout() {
    using dbase::FieldType;
    static const dbase::TableLayout layout{"SOLUC",
                                           {{"ASIG", FieldType::String, 10},
                                            {"TAREA", FieldType::String, 10},
                                            {"DIA", FieldType::Integer, 4},
                                            {"HORA", FieldType::Float, 8},
                                            {"CODGRUPO", FieldType::String, 10},
                                            {"PROF", FieldType::String, 10},
                                            {"AULA", FieldType::String, 10}},
                                           {}};
    return layout;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "Uso: make_soluc CARPETA\n"
                     "Escribe CARPETA/SOLUC.DBF a partir de las tablas de trabajo de CARPETA.\n";
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    try {
        const DbfReader grupost = openTable(folder, "GRUPOST");
        const DbfReader asigt = openTable(folder, "ASIGT");
        const DbfReader asignomt = openTable(folder, "ASIGNOMT");
        const DbfReader proft = openTable(folder, "PROFT");
        const DbfReader aulat = openTable(folder, "AULAT");
        const DbfReader tramos = openTable(folder, "DIASHORAST");

        // Time slots, ordered so that consecutive sessions of a load fall on different days.
        std::set<Slot> slotSet;
        for (std::size_t r = 0; r < tramos.rowCount(); ++r) {
            const Slot slot{wholeNumber(tramos.text(r, tramos.requireField("DIA"))),
                            wholeNumber(tramos.text(r, tramos.requireField("HORA")))};
            if (slot.day > 0 && slot.number > 0) slotSet.insert(slot);
        }
        std::vector<Slot> slots(slotSet.begin(), slotSet.end());
        std::stable_sort(slots.begin(), slots.end(),
                         [](const Slot& a, const Slot& b) { return a.number < b.number; });

        std::vector<Group> groups;
        for (std::size_t r = 0; r < grupost.rowCount(); ++r)
            groups.push_back({grupost.text(r, grupost.requireField("ABREV")),
                              {grupost.text(r, grupost.requireField("TURNO")),
                               grupost.text(r, grupost.requireField("NIVEL")),
                               grupost.text(r, grupost.requireField("CURSO")),
                               grupost.text(r, grupost.requireField("GRUPO"))}});

        // The centre's subject code (CODLARGO, ABREV_GESTION) to the short code the timetable uses.
        std::unordered_map<std::string, std::string> subjectCodes;
        std::vector<std::string> activityCodes;
        const int esTarea = asignomt.fieldIndex("ESTAREA");
        for (std::size_t r = 0; r < asignomt.rowCount(); ++r) {
            const std::string cod = asignomt.text(r, asignomt.requireField("COD"));
            if (cod.empty()) continue;
            if (esTarea >= 0 && asignomt.text(r, esTarea) == "T") {
                activityCodes.push_back(cod);
                continue;
            }
            subjectCodes.try_emplace(asignomt.text(r, asignomt.requireField("CODLARGO")), cod);
            subjectCodes.try_emplace(asignomt.text(r, asignomt.requireField("ABREV_GESTION")), cod);
        }

        std::vector<std::string> teachers, rooms;
        for (std::size_t r = 0; r < proft.rowCount(); ++r)
            if (auto t = proft.text(r, proft.requireField("ABREV")); !t.empty()) teachers.push_back(t);
        for (std::size_t r = 0; r < aulat.rowCount(); ++r)
            if (auto a = aulat.text(r, aulat.requireField("ABREV")); !a.empty()) rooms.push_back(a);

        std::set<std::pair<std::string, std::size_t>> groupBusy, teacherBusy, roomBusy;
        dbase::Table soluc{&solucLayout(), {}};
        auto place = [&](const std::string& asig, const std::string& tarea, const std::string& group,
                         const std::string& teacher, bool needsRoom, std::size_t from) -> bool {
            for (std::size_t k = 0; k < slots.size(); ++k) {
                const std::size_t s = (from + k) % slots.size();
                if (!group.empty() && groupBusy.count({group, s})) continue;
                if (!teacher.empty() && teacherBusy.count({teacher, s})) continue;
                std::string room;
                if (needsRoom)
                    for (const auto& candidate : rooms)
                        if (!roomBusy.count({candidate, s})) {
                            room = candidate;
                            break;
                        }
                if (!group.empty()) groupBusy.insert({group, s});
                if (!teacher.empty()) teacherBusy.insert({teacher, s});
                if (!room.empty()) roomBusy.insert({room, s});
                soluc.rows.push_back(
                    {asig, tarea, std::int32_t(slots[s].day), double(slots[s].number), group, teacher, room});
                return true;
            }
            return false;
        };

        const int casig = asigt.requireField("CASIG"), cgrup = asigt.requireField("CGRUP");
        const int turno = asigt.requireField("TURNO"), nivel = asigt.requireField("NIVEL");
        const int curso = asigt.requireField("CURSO"), grupo = asigt.requireField("GRUPO");
        const int ctarea = asigt.fieldIndex("CTAREA");
        const int horas = asigt.fieldIndex("HORAS"), pattern = asigt.fieldIndex("SESIONES");
        std::size_t unplaced = 0, unknown = 0, load = 0;
        for (std::size_t r = 0; r < asigt.rowCount(); ++r) {
            const auto subject = subjectCodes.find(asigt.text(r, casig));
            const std::string groupCode = asigt.text(r, cgrup);
            const auto key = std::make_tuple(asigt.text(r, turno), asigt.text(r, nivel), asigt.text(r, curso),
                                             asigt.text(r, grupo));
            auto group = std::find_if(groups.begin(), groups.end(),
                                      [&](const Group& g) { return g.code == groupCode; });
            if (group == groups.end())
                group =
                    std::find_if(groups.begin(), groups.end(), [&](const Group& g) { return g.key == key; });
            if (subject == subjectCodes.end() || group == groups.end() || slots.empty()) {
                ++unknown;
                continue;
            }
            std::string tarea = ctarea >= 0 ? asigt.text(r, ctarea) : "";
            if (tarea.empty() || tarea == subject->second) tarea = "CCM";
            const std::string teacher = teachers.empty() ? "" : teachers[load % teachers.size()];
            const int count = sessions(asigt, r, horas, pattern);
            for (int i = 0; i < count; ++i)
                if (!place(subject->second, tarea, group->code, teacher, true, load + i * 7)) ++unplaced;
            ++load;
        }

        // A duty for a few teachers: the second pass of the export.
        std::size_t duties = 0;
        if (!activityCodes.empty() && !slots.empty())
            for (std::size_t t = 0; t < teachers.size() && t < 3; ++t)
                if (place(activityCodes[t % activityCodes.size()], activityCodes[t % activityCodes.size()],
                          "", teachers[t], false, t * 5))
                    ++duties;

        dbase::writeTables(folder, {soluc});
        std::cout << "SOLUC.DBF: " << soluc.rows.size() << " filas (" << duties << " de actividades); "
                  << unplaced << " sesiones sin hueco; " << unknown
                  << " cargas de ASIGT sin asignatura o grupo en las tablas.\n";
        return 0;
    } catch (const Error& error) {
        std::cerr << error.what() << '\n';
        return 1;
    }
}
