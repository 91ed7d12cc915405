#include "import/TimetableExportRun.h"

namespace almadia {

std::filesystem::path resultFileName(const std::filesystem::path& centreFile) {
    return centreFile.parent_path() / ("ResultadoHoravel" + centreFile.filename().string());
}

// Placeholder until the timetable export lands.
RunOutcome runTimetableExport(RunHost& host, Session&) {
    host.message("La exportación del horario no está disponible todavía.");
    return RunOutcome::Refused;
}

} // namespace almadia
