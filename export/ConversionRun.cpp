#include "export/ConversionRun.h"

#include "formats/Error.h"
#include "formats/ExchangeFolder.h"

namespace almadia {

dbase::Table& BuildContext::table(const std::string& name) {
    for (auto& t : tables)
        if (t.layout->name == name) return t;
    throw Error("La tabla " + name + " no se ha preparado todavía.");
}

const dbase::Table* BuildContext::findTable(const std::string& name) const {
    for (const auto& t : tables)
        if (t.layout->name == name) return &t;
    return nullptr;
}

std::vector<dbase::Table> computeConversion(const CentroDocument& doc, Session& session,
                                            const std::vector<Builder>& builders,
                                            std::vector<std::string>* alsoRemove) {
    BuildContext context{doc, session.registries, session.lengths, session.report, {}, {}};
    for (const auto& builder : builders) builder.build(context);
    if (alsoRemove) *alsoRemove = std::move(context.alsoRemove);
    return std::move(context.tables);
}

namespace {

RunOutcome refuse(RunHost& host, Session& session, const std::string& text) {
    host.message(text);
    if (session.embedded) {
        session.EstadoTransformacion = -1;
        host.closeWindow();
    }
    return RunOutcome::Refused;
}

} // namespace

RunOutcome runConversion(RunHost& host, Session& session, const std::vector<Builder>& builders) {
    if (auto chosen = host.chooseFile()) session.FicheroXML = *chosen;
    if (!isRegularFile(session.FicheroXML)) return refuse(host, session, messages::NoFile);

    session.report.clear();
    host.setBusy(true);
    try {
        session.DocumentoXML.reset();
        session.DocumentoXML.emplace(CentroDocument::open(session.FicheroXML));

        std::vector<std::string> alsoRemove;
        auto tables = computeConversion(*session.DocumentoXML, session, builders, &alsoRemove);
        if (!tables.empty() || !alsoRemove.empty())
            dbase::writeTables(session.exchangeFolder, tables, alsoRemove);
        for (const auto& table : tables) session.report.rowsWritten(table.layout->name, table.rows.size());
    } catch (const Error& error) {
        host.setBusy(false);
        if (error.isRefusal()) return refuse(host, session, error.what());
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
