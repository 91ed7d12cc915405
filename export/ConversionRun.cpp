#include "export/ConversionRun.h"

#include "export/RunFrame.h"
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

RunOutcome runConversion(RunHost& host, Session& session, const std::vector<Builder>& builders) {
    if (auto chosen = host.chooseFile()) session.FicheroXML = *chosen;
    if (!isRegularFile(session.FicheroXML)) return refuseRun(host, session, messages::NoFile);

    return runWithFrame(host, session, [&] {
        session.DocumentoXML.reset();
        session.DocumentoXML.emplace(CentroDocument::open(session.FicheroXML));

        std::vector<std::string> alsoRemove;
        auto tables = computeConversion(*session.DocumentoXML, session, builders, &alsoRemove);
        if (!tables.empty() || !alsoRemove.empty())
            dbase::writeTables(session.exchangeFolder, tables, alsoRemove);
        for (const auto& table : tables) session.report.rowsWritten(table.layout->name, table.rows.size());
    });
}

} // namespace almadia
