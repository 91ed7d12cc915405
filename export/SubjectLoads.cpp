#include "export/Builders.h"

#include "export/BuildSupport.h"
#include "formats/Error.h"
#include "formats/Layouts.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <unordered_map>

namespace almadia {

using build::describe;
using build::inQuotes;

namespace {

// A decimal number with a comma before the decimals: optional sign, digits, optional comma and
// digits, at least one digit in all. Anything else (blanks, exponents, a point) is no number.
std::optional<float> parseDecimal(const std::string& value) {
    std::string plain;
    std::size_t digits = 0;
    bool comma = false;
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (c >= '0' && c <= '9') {
            ++digits;
            plain += c;
        } else if (c == ',' && !comma) {
            comma = true;
            plain += '.';
        } else if ((c == '+' || c == '-') && i == 0) {
            if (c == '-') plain += c;
        } else {
            return std::nullopt;
        }
    }
    if (digits == 0) return std::nullopt;
    if (plain.back() == '.') plain.pop_back();
    float result = 0;
    const char* first = plain.data();
    const char* last = plain.data() + plain.size();
    if (*first == '.') {
        // from_chars wants a digit before the point.
        plain.insert(plain.begin(), '0');
        first = plain.data();
        last = plain.data() + plain.size();
    } else if (first[0] == '-' && first[1] == '.') {
        plain.insert(plain.begin() + 1, '0');
        first = plain.data();
        last = plain.data() + plain.size();
    }
    const auto [end, error] = std::from_chars(first, last, result);
    if (error != std::errc() || end != last || !std::isfinite(result)) return std::nullopt;
    return result;
}

} // namespace

float loadFromHoras(const std::string& horas, const SessionLengths& lengths) {
    const std::string text = horas == "00,00" ? std::string("01,00") : horas;
    const auto parsed = parseDecimal(text);
    if (!parsed) throw Error("'" + text::cp1252ToUtf8(text) + "' no es un valor punto flotante válido");
    const float value = *parsed;
    if (text.size() >= 5 && text.compare(3, 2, "00") == 0) return value; // whole hours

    const float minutes = static_cast<float>(static_cast<double>(value) * 60.0);
    for (const int length : {lengths.Duracion1, lengths.Duracion2, lengths.Duracion3}) {
        if (length == 0) break;
        const double sessions = static_cast<double>(minutes) / length;
        if (sessions == std::trunc(sessions)) return static_cast<float>(sessions);
    }
    return static_cast<float>(std::ceil(static_cast<double>(minutes) / 60.0));
}

std::string sessionPattern(float load) {
    const double count = std::ceil(static_cast<double>(load));
    if (count > 13) {
        char head[64];
        std::snprintf(head, sizeof head, "%.0f", count - 13);
        return head + std::string(13, '1');
    }
    if (count >= 1) return std::string(static_cast<std::size_t>(count), '1');
    return {};
}

void ExportarMateriasGrupo(BuildContext& context) {
    const auto& doc = context.doc;
    const auto loads = doc.select(paths::MateriaGrupo);

    // Each load once: its value, and the index of the loads by the code of the group that holds
    // them, in document order. Every Horas is converted, also of a load that gives no row.
    struct Load {
        std::string subject;
        float value;
    };
    std::vector<Load> values;
    values.reserve(loads.size());
    std::unordered_map<std::string, std::vector<std::size_t>> byGroup;
    // The loads of one group stand together: its code is read once for all of them.
    const void* lastHolder = nullptr;
    std::string group;
    std::vector<std::size_t>* groupLoads = nullptr;
    for (std::size_t i = 0; i < loads.size(); ++i) {
        const auto& node = loads[i];
        std::string subject = node.attr("Codigo");
        const std::string horas = node.attr("Horas");
        const auto holder = node.grandparent();
        if (i == 0 || holder.node() != lastHolder) {
            lastHolder = holder.node();
            group = holder ? holder.attr("Codigo") : std::string();
            groupLoads = nullptr;
        }
        float value = 0;
        try {
            value = loadFromHoras(horas, context.lengths);
        } catch (const Error& error) {
            throw Error("En " + doc.name() + ", " +
                        describe("MateriaGrupo", i + 1, node, "grupo " + inQuotes(group)) +
                        ", Horas: " + error.what());
        }
        if (!subject.empty()) {
            if (!groupLoads) groupLoads = &byGroup[group];
            groupLoads->push_back(i);
        } else
            context.report.note(describe("MateriaGrupo", i + 1, node, "grupo " + inQuotes(group)) +
                                ": se omite, no tiene código de materia.");
        values.push_back({std::move(subject), value});
    }

    auto& table = build::newTable(context, layouts::ASIGT());
    for (const auto& node : doc.select(paths::Grupo)) {
        const std::string code = node.attr("Codigo");
        const auto found = byGroup.find(code);
        if (found == byGroup.end()) continue;
        const std::string shift = node.attr("Turno");
        const std::string level = node.attr("CodigoEnsenanza");
        const std::string year = node.attr("Curso");
        const std::string letter = node.attr("Letra");
        for (const std::size_t index : found->second) {
            const auto& load = values[index];
            table.rows.push_back(dbase::Row{load.subject, std::string(), code, std::string(), shift, level,
                                            year, letter, static_cast<double>(load.value),
                                            sessionPattern(load.value), std::monostate{}, std::string("CCM"),
                                            code});
        }
    }
}

} // namespace almadia
