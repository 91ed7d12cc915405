#pragma once

// How both runs begin and end, once the file has been chosen.

#include "export/RunHost.h"

#include <functional>
#include <string>

namespace almadia {

// A refused run: the message; embedded, status -1 and the window closes.
RunOutcome refuseRun(RunHost& host, WindowState& state, const std::string& text);

// Runs `work` under the busy cursor with a fresh report. Finished: status 1, "Proceso finalizado" with
// the report, and the window closes when embedded. A refusal (ErrorKind::Refusal) ends as refuseRun;
// any other error is shown in the error box, the status stays and the window stays open.
RunOutcome runWithFrame(RunHost& host, WindowState& state, const std::function<void()>& work);

} // namespace almadia
