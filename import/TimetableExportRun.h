#pragma once

// The timetable export run: SOLUC + working tables -> the result document beside the centre file.

#include "export/RunHost.h"

#include <filesystem>

namespace almadia {

// "ResultadoHoravel" + the centre file's name, in the centre file's folder.
std::filesystem::path resultFileName(const std::filesystem::path& centreFile);

// The whole run behind the BImportar button.
RunOutcome runTimetableExport(RunHost& host, Session& session);

} // namespace almadia
