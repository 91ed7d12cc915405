#include "export/RunFrame.h"

#include "formats/Error.h"

namespace almadia {

RunOutcome refuseRun(RunHost& host, Session& session, const std::string& text) {
    host.message(text);
    if (session.embedded) {
        session.EstadoTransformacion = -1;
        host.closeWindow();
    }
    return RunOutcome::Refused;
}

RunOutcome runWithFrame(RunHost& host, Session& session, const std::function<void()>& work) {
    session.report.clear();
    host.setBusy(true);
    try {
        work();
    } catch (const Error& error) {
        host.setBusy(false);
        if (error.isRefusal()) return refuseRun(host, session, error.what());
        host.showError(error.what());
        return RunOutcome::Failed;
    } catch (const std::exception& error) {
        host.setBusy(false);
        host.showError(std::string("Error inesperado: ") + error.what());
        return RunOutcome::Failed;
    }
    host.setBusy(false);

    session.EstadoTransformacion = 1;
    host.message(messages::Finished, session.report.text());
    if (session.embedded) host.closeWindow();
    return RunOutcome::Finished;
}

} // namespace almadia
