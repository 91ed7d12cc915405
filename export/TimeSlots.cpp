#include "export/Builders.h"

#include "export/BuildSupport.h"
#include "formats/Error.h"
#include "formats/Layouts.h"

#include <algorithm>
#include <unordered_map>

namespace almadia {

using build::describe;
using build::inQuotes;

namespace {

// Day letters of the document, days 1 (Monday) to 7, with the weekday names in Windows-1252.
struct Day {
    char letter;
    const char* name;
};
constexpr Day Days[] = {{'L', "Lunes"},
                        {'M', "Martes"},
                        {'X', "Mi\xE9rcoles"},
                        {'J', "Jueves"},
                        {'V', "Viernes"},
                        {'S', "S\xE1"
                              "bado"},
                        {'D', "Domingo"}};

int dayNumber(char letter) {
    for (int i = 0; i < 7; ++i)
        if (Days[i].letter == letter) return i + 1;
    return 0;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// HH:MM: two digits, a separator, two digits.
bool isClockTime(const std::string& time) {
    return time.size() == 5 && isDigit(time[0]) && isDigit(time[1]) && !isDigit(time[2]) &&
           isDigit(time[3]) && isDigit(time[4]);
}

int minutesOf(std::string_view time) {
    return 60 * ((time[0] - '0') * 10 + (time[1] - '0')) + (time[3] - '0') * 10 + (time[4] - '0');
}

} // namespace

void ExportarSesiones(BuildContext& context) {
    const auto& doc = context.doc;
    const auto slots = doc.select(paths::Sesion);

    // Slot keys: day digit, start, end, blank, "start-end" (108:0008:55 08:00-08:55).
    std::vector<std::string> keys;
    keys.reserve(slots.size());
    for (std::size_t i = 0; i < slots.size(); ++i) {
        const auto& node = slots[i];
        const std::string dayText = node.attr("Dia");
        if (dayText.empty()) {
            context.report.note(describe("Sesion", i + 1, node) + ": se omite, no tiene día.");
            continue;
        }
        const int day = dayNumber(dayText[0]);
        if (day == 0) {
            context.report.note(describe("Sesion", i + 1, node, "Dia " + inQuotes(dayText)) +
                                ": se omite, el día no empieza por L, M, X, J, V, S ni D.");
            continue;
        }
        const std::string start = node.attr("HoraInicio");
        const std::string end = node.attr("HoraFin");
        for (const auto& [attribute, value] : {std::pair{"HoraInicio", &start}, std::pair{"HoraFin", &end}}) {
            if (!isClockTime(*value))
                throw Error("En " + doc.name() + ", " +
                            describe("Sesion", i + 1, node, "Dia " + inQuotes(dayText)) + ": " + attribute +
                            " " + inQuotes(*value) + " no es una hora de la forma HH:MM.");
        }
        keys.push_back(std::to_string(day) + start + end + ' ' + start + '-' + end);
    }
    std::stable_sort(keys.begin(), keys.end());

    auto& grid = build::newTable(context, layouts::DIASHORAST());
    int previousDay = 0;
    int counter = 0;
    for (const auto& key : keys) {
        const int day = key[0] - '0';
        if (day != previousDay) {
            counter = 0;
            previousDay = day;
        }
        ++counter;
        const std::string start = key.substr(1, 5);
        const std::string end = key.substr(6, 5);
        const int minutes = minutesOf(end) - minutesOf(start);
        grid.rows.push_back(dbase::Row{std::to_string(day) + std::to_string(counter), std::monostate{},
                                       std::to_string(day), std::string(Days[day - 1].name),
                                       std::to_string(counter), key.substr(12, 11), start, end,
                                       std::to_string(minutes), std::monostate{}, std::string()});
    }

    // Distinct lengths in the order they first occur, each with how many slots have it.
    auto& lengths = context.lengths;
    lengths = SessionLengths{};
    const int minutesField = layouts::DIASHORAST().fieldIndex("MINUTOS");
    std::vector<std::pair<std::string, int>> counts;
    std::unordered_map<std::string, std::size_t> position;
    for (const auto& row : grid.rows) {
        const auto& minutes = std::get<std::string>(row[minutesField]);
        auto [it, added] = position.emplace(minutes, counts.size());
        if (added)
            counts.emplace_back(minutes, 1);
        else
            ++counts[it->second].second;
    }
    auto& countses = build::newTable(context, layouts::COUNTSES());
    for (const auto& [minutes, count] : counts)
        countses.rows.push_back(dbase::Row{minutes, std::int32_t{count}});

    int* targets[] = {&lengths.Duracion1, &lengths.Duracion2, &lengths.Duracion3};
    for (std::size_t i = 0; i < counts.size() && i < 3; ++i) *targets[i] = std::stoi(counts[i].first);
}

} // namespace almadia
