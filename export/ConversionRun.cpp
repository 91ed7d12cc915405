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

std::vector<dbase::Table> computeConversion(const CentroDocument& doc, WindowState& state,
                                            const std::vector<Builder>& builders,
                                            std::vector<std::string>* alsoRemove) {
    BuildContext context{doc, state.registries, state.lengths, state.report, {}, {}};
    for (const auto& builder : builders) builder.build(context);
    if (alsoRemove) *alsoRemove = std::move(context.alsoRemove);
    return std::move(context.tables);
}

RunOutcome runConversion(RunHost& host, WindowState& state, const std::vector<Builder>& builders) {
    if (auto chosen = host.chooseFile()) state.FicheroXML = *chosen;
    if (!isRegularFile(state.FicheroXML)) return refuseRun(host, state, messages::NoFile);

    return runWithFrame(host, state, [&] {
        state.DocumentoXML.reset();
        state.DocumentoXML.emplace(CentroDocument::open(state.FicheroXML));

        std::vector<std::string> alsoRemove;
        auto tables = computeConversion(*state.DocumentoXML, state, builders, &alsoRemove);
        if (!tables.empty() || !alsoRemove.empty())
            dbase::writeTables(state.exchangeFolder, tables, alsoRemove);
        for (const auto& table : tables) state.report.rowsWritten(table.layout->name, table.rows.size());
    });
}

} // namespace almadia
