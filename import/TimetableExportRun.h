#pragma once

// The timetable export run: SOLUC + working tables -> the result document beside the centre file.

#include "export/RunHost.h"

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>

namespace almadia {

// "ResultadoHoravel" + the centre file's name, in the centre file's folder.
std::filesystem::path resultFileName(const std::filesystem::path& centreFile);

struct TimetableExportOptions {
    // The FechaExportacion of the result (UTF-8); when unset, the moment of the run in the user's
    // regional date and time formats.
    std::function<std::string()> moment;
    // How many SOLUC rows the report names for each reason a row was left out or written incomplete.
    std::size_t examplesPerReason = 5;
};

// The work of the run once the centre document is loaded: opens SOLUC and the working tables in
// `exchangeFolder`, walks SOLUC twice, builds the result in `document` and saves it beside
// `centreFile`. Fills `report`; returns the result file. Throws Error.
std::filesystem::path exportTimetable(CentroDocument& document, const std::filesystem::path& centreFile,
                                      const std::filesystem::path& exchangeFolder, RunReport& report,
                                      const TimetableExportOptions& options = {});

// The whole run behind the BImportar button.
RunOutcome runTimetableExport(RunHost& host, WindowState& state, const TimetableExportOptions& options = {});

} // namespace almadia
