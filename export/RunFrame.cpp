#include "export/RunFrame.h"

#include "formats/Error.h"

namespace almadia {

RunOutcome refuseRun(RunHost& host, WindowState& state, const std::string& text) {
    host.message(text);
    if (state.embedded) {
        state.EstadoTransformacion = -1;
        host.closeWindow();
    }
    return RunOutcome::Refused;
}

RunOutcome runWithFrame(RunHost& host, WindowState& state, const std::function<void()>& work) {
    state.report.clear();
    host.setBusy(true);
    try {
        work();
    } catch (const Error& error) {
        host.setBusy(false);
        if (error.isRefusal()) return refuseRun(host, state, error.what());
        host.showError(error.what());
        return RunOutcome::Failed;
    } catch (const std::exception& error) {
        host.setBusy(false);
        host.showError(std::string("Error inesperado: ") + error.what());
        return RunOutcome::Failed;
    }
    host.setBusy(false);

    state.EstadoTransformacion = 1;
    host.message(messages::Finished, state.report.text());
    if (state.embedded) host.closeWindow();
    return RunOutcome::Finished;
}

} // namespace almadia
