#pragma once

// The conversion run: centre document -> the seven working tables.

#include "export/RunHost.h"
#include "formats/Dbase.h"

#include <functional>
#include <string>
#include <vector>

namespace almadia {

// What a builder sees: the document, what lives in the window (registries, lesson lengths), the
// tables computed so far and the report. A builder touches no file.
struct BuildContext {
    const CentroDocument& doc;
    CodeRegistries& registries;
    SessionLengths& lengths;
    RunReport& report;
    std::vector<dbase::Table> tables;    // in the order they are written
    std::vector<std::string> alsoRemove; // base names whose files the run removes (CURSOST)

    dbase::Table& table(const std::string& name); // throws when absent
    const dbase::Table* findTable(const std::string& name) const;
};

struct Builder {
    std::string name;
    std::function<void(BuildContext&)> build;
};

// The seven builders in their fixed order: ExportarMaterias, ExportarTiposActividad,
// ExportarProfesores, ExportarAulas, ExportarGrupos, ExportarSesiones, ExportarMateriasGrupo.
const std::vector<Builder>& conversionBuilders();

// Computes every table of the conversion in memory (no file touched). Throws Error.
std::vector<dbase::Table> computeConversion(const CentroDocument& doc, WindowState& state,
                                            const std::vector<Builder>& builders = conversionBuilders(),
                                            std::vector<std::string>* alsoRemove = nullptr);

// The whole run behind the BExportar button: file choice, refusal, document, builders, tables
// written only when all are computed, cursor, status, "Proceso finalizado", close when embedded.
RunOutcome runConversion(RunHost& host, WindowState& state,
                         const std::vector<Builder>& builders = conversionBuilders());

} // namespace almadia
