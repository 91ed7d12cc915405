#include "import/TimetableExportRun.h"

#include "export/RunFrame.h"
#include "formats/Dbase.h"
#include "formats/Error.h"
#include "formats/ExchangeFolder.h"
#include "formats/Text.h"
#include "import/ResultDocument.h"

#include <array>
#include <ctime>
#include <optional>
#include <unordered_map>
#include <vector>

namespace almadia {

std::filesystem::path resultFileName(const std::filesystem::path& centreFile) {
    return centreFile.parent_path() / ("ResultadoHoravel" + centreFile.filename().string());
}

namespace {

using dbase::DbfReader;
using dbase::openTable;

// "The first row, in table order, whose field equals the key": built once, first row per key kept.
class FirstRowIndex {
public:
    FirstRowIndex(const DbfReader& table, std::string_view keyField) : table_(table) {
        const int field = table.requireField(keyField);
        rows_.reserve(table.rowCount());
        for (std::size_t row = 0; row < table.rowCount(); ++row)
            rows_.try_emplace(table.text(row, field), row);
    }
    std::optional<std::size_t> find(const std::string& key) const {
        auto found = rows_.find(key);
        if (found == rows_.end()) return std::nullopt;
        return found->second;
    }
    std::string text(std::size_t row, int field) const { return table_.text(row, field); }

private:
    const DbfReader& table_;
    std::unordered_map<std::string, std::size_t> rows_;
};

std::string dayLetter(std::int32_t day) {
    static constexpr std::array<const char*, 7> letters = {"L", "M", "X", "J", "V", "S", "D"};
    return day >= 1 && day <= 7 ? letters[day - 1] : "";
}

// Rows left out, or written with a value missing, counted per reason with the first few named.
class Findings {
public:
    enum Reason {
        UnknownGroup,
        UnknownSubject,
        UnknownSlot,
        ZeroDayOrSlot,
        NoTeacher,
        NoClassroom,
        OtherDay,
        Count
    };

    explicit Findings(std::size_t examples) : examples_(examples) {}

    void add(Reason reason, std::size_t row, const std::string& detail) {
        auto& entry = entries_[reason];
        if (entry.count++ < examples_)
            entry.examples.push_back("fila " + std::to_string(row + 1) + ": " + text::cp1252ToUtf8(detail));
    }

    void report(RunReport& report) const {
        static constexpr std::array<const char*, Count> titles = {
            "Filas de SOLUC descartadas por grupo no encontrado en GRUPOST",
            "Filas de SOLUC descartadas por asignatura no encontrada en ASIGNOMT",
            "Filas de SOLUC descartadas por tramo horario no encontrado en DIASHORAST",
            "Filas de SOLUC descartadas por DIA u HORA 0",
            "Actividades escritas sin profesor (PROF vacío o no encontrado en PROFT)",
            "Actividades escritas sin aula (AULA no encontrada en AULAT, o aula sin código)",
            "Actividades escritas sin día (DIA fuera de 1 a 7)"};
        for (std::size_t reason = 0; reason < Count; ++reason) {
            const auto& entry = entries_[reason];
            if (entry.count == 0) continue;
            std::string line = std::string(titles[reason]) + ": " + std::to_string(entry.count) + " (";
            for (std::size_t i = 0; i < entry.examples.size(); ++i)
                line += (i ? "; " : "") + entry.examples[i];
            line += entry.count > entry.examples.size() ? "; …)" : ")";
            report.note(std::move(line));
        }
    }

private:
    struct Entry {
        std::size_t count = 0;
        std::vector<std::string> examples;
    };
    std::size_t examples_;
    std::array<Entry, Count> entries_;
};

std::string quoted(std::string_view field, const std::string& value) {
    return std::string(field) + " \"" + value + "\"";
}

} // namespace

std::filesystem::path exportTimetable(CentroDocument& document, const std::filesystem::path& centreFile,
                                      const std::filesystem::path& exchangeFolder, RunReport& report,
                                      const TimetableExportOptions& options) {
    // Opened in this order, so that a missing one is named the way the user expects.
    const DbfReader soluc = openTable(exchangeFolder, "SOLUC");
    const DbfReader grupos = openTable(exchangeFolder, "GRUPOST");
    const DbfReader profesores = openTable(exchangeFolder, "PROFT");
    const DbfReader aulas = openTable(exchangeFolder, "AULAT");
    const DbfReader asignaturas = openTable(exchangeFolder, "ASIGNOMT");
    const DbfReader tramos = openTable(exchangeFolder, "DIASHORAST");
    const DbfReader asigt = openTable(exchangeFolder, "ASIGT");
    (void)asigt; // held for the run like the others; nothing is read from it

    const int ASIG = soluc.requireField("ASIG");
    const int TAREA = soluc.requireField("TAREA");
    const int DIA = soluc.requireField("DIA");
    const int HORA = soluc.requireField("HORA");
    const int CODGRUPO = soluc.requireField("CODGRUPO");
    const int PROF = soluc.requireField("PROF");
    const int AULA = soluc.requireField("AULA");

    const FirstRowIndex groupIndex(grupos, "ABREV");
    const FirstRowIndex teacherIndex(profesores, "ABREV");
    const FirstRowIndex classroomIndex(aulas, "ABREV");
    const FirstRowIndex subjectIndex(asignaturas, "COD");
    const FirstRowIndex slotIndex(tramos, "DIHO");
    const int groupCode = grupos.requireField("ABREV");
    const int teacherCode = profesores.requireField("ABREV");
    const int classroomCode = aulas.requireField("ABREV_GESTION");
    const int subjectCode = asignaturas.requireField("ABREV_GESTION");
    const int startTime = tramos.requireField("HORADESDE");
    const int endTime = tramos.requireField("HORAHASTA");

    ResultDocument result = ResultDocument::start(
        document, options.moment ? options.moment() : regionalDateTime(std::time(nullptr)));

    Findings findings(options.examplesPerReason);
    for (const Pass pass : {Pass::First, Pass::Second}) {
        std::size_t written = 0;
        for (std::size_t row = 0; row < soluc.rowCount(); ++row) {
            const std::string asig = soluc.text(row, ASIG);
            const std::string tarea = soluc.text(row, TAREA);
            if ((asig != tarea) != (pass == Pass::First)) continue;

            const std::int32_t day = soluc.integer(row, DIA);
            const double slot = soluc.number(row, HORA);
            const std::string dayText(text::trimControls(soluc.text(row, DIA)));
            const std::string slotText(text::trimControls(soluc.text(row, HORA)));
            if (day == 0 || slot == 0) {
                findings.add(Findings::ZeroDayOrSlot, row,
                             quoted("DIA", dayText) + ", " + quoted("HORA", slotText));
                continue;
            }

            std::string group = soluc.text(row, CODGRUPO);
            if (pass == Pass::First) {
                const auto found = groupIndex.find(group);
                if (!found) {
                    findings.add(Findings::UnknownGroup, row, quoted("CODGRUPO", group));
                    continue;
                }
                group = groupIndex.text(*found, groupCode);
            }

            const auto subjectRow = subjectIndex.find(asig);
            if (!subjectRow) {
                findings.add(Findings::UnknownSubject, row, quoted("ASIG", asig));
                continue;
            }
            const std::string subject =
                pass == Pass::First ? subjectIndex.text(*subjectRow, subjectCode) : "";

            const std::string prof = soluc.text(row, PROF);
            const auto teacherRow = teacherIndex.find(prof);
            const std::string teacher = teacherRow ? teacherIndex.text(*teacherRow, teacherCode) : "";

            const std::string aula = soluc.text(row, AULA);
            const auto classroomRow = classroomIndex.find(aula);
            const std::string classroom =
                classroomRow ? classroomIndex.text(*classroomRow, classroomCode) : "";

            const std::string key = dayText + slotText;
            const auto slotRow = slotIndex.find(key);
            if (!slotRow) {
                findings.add(Findings::UnknownSlot, row, quoted("DIHO", key));
                continue;
            }
            const std::string from = slotIndex.text(*slotRow, startTime);
            const std::string to = slotIndex.text(*slotRow, endTime);
            const std::string letter = dayLetter(day);

            result.addActivity({tarea, teacher, group, subject, classroom, letter, from, to}, pass);
            ++written;
            if (teacher.empty()) findings.add(Findings::NoTeacher, row, quoted("PROF", prof));
            if (classroom.empty()) findings.add(Findings::NoClassroom, row, quoted("AULA", aula));
            if (letter.empty()) findings.add(Findings::OtherDay, row, quoted("DIA", dayText));
        }
        report.rowsWritten(pass == Pass::First ? "Actividades de la primera pasada (asignaturas)"
                                               : "Actividades de la segunda pasada (tareas)",
                           written);
    }
    findings.report(report);

    const auto file = resultFileName(centreFile);
    result.save(file);
    report.note("Resultado guardado en " + file.string());
    return file;
}

RunOutcome runTimetableExport(RunHost& host, WindowState& state, const TimetableExportOptions& options) {
    host.message(messages::ImportReminder);
    if (auto chosen = host.chooseFile()) state.FicheroXML = *chosen;
    if (!isRegularFile(state.FicheroXML) || !isRegularFile(findFile(state.exchangeFolder, "SOLUC.DBF")))
        return refuseRun(host, state, messages::NoFileOrSolution);

    return runWithFrame(host, state, [&] {
        // The document is read first, so that a file that is not a centre export is refused before
        // any table is opened.
        state.DocumentoXML.reset();
        state.DocumentoXML.emplace(CentroDocument::open(state.FicheroXML));
        exportTimetable(*state.DocumentoXML, state.FicheroXML, state.exchangeFolder, state.report, options);
    });
}

} // namespace almadia
