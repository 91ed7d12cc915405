#include "export/Builders.h"

#include "export/BuildSupport.h"
#include "formats/Layouts.h"

#include <unordered_set>

namespace almadia {

using build::describe;
using build::inQuotes;
using dbase::Row;

namespace {

void exportCatalogue(BuildContext& context, std::string_view path, std::string_view element, RegistryKey key,
                     bool isActivity) {
    auto& table = context.table(layouts::ASIGNOMT().name);
    const auto elements = context.doc.select(path);
    for (std::size_t i = 0; i < elements.size(); ++i) {
        const auto& node = elements[i];
        const std::string code = node.attr("Codigo");
        const std::string name = node.attr("Denominacion");
        const std::string cut = cutCode(code);
        const bool cutTaken = context.registries.CodigosUsados.count(cut) != 0;
        const bool keySeen =
            context.registries.CodigosLargosVistos.count(key == RegistryKey::FullCode ? code : cut) != 0;
        const auto shortCode = registryShortCode(context.registries, code, key);
        if (!shortCode) {
            const std::string taken = cutTaken || keySeen ? cut : compressCode(code);
            context.report.note(describe(element, i + 1, node, "código " + inQuotes(code)) +
                                ": se omite, el código corto " + inQuotes(taken) + " ya está en uso.");
            continue;
        }
        table.rows.push_back(Row{*shortCode, code, name, std::monostate{}, isActivity, node.attr("Codigo")});
    }
}

} // namespace

void ExportarMaterias(BuildContext& context) {
    context.registries.clear();
    build::newTable(context, layouts::ASIGNOMT());
    exportCatalogue(context, paths::Materia, "Materia", RegistryKey::FullCode, false);
}

void ExportarTiposActividad(BuildContext& context) {
    exportCatalogue(context, paths::TipoActividad, "TipoActividad", RegistryKey::CutCode, true);
}

namespace {

void noteSuffix(BuildContext& context, const std::string& what, const std::string& code,
                const CodeList::Result& given) {
    context.report.note(what + ": el código " + inQuotes(code) + " está repetido, se escribe " +
                        inQuotes(text::heldForm(given.code, 10)) + ".");
}

} // namespace

void ExportarProfesores(BuildContext& context) {
    auto& table = build::newTable(context, layouts::PROFT());
    const CodeLookup departments(context.doc.select(paths::Departamento));
    CodeList list(false);
    const auto teachers = context.doc.select(paths::Profesor);
    for (std::size_t i = 0; i < teachers.size(); ++i) {
        const auto& node = teachers[i];
        const std::string code = node.attr("Codigo");
        const std::string name =
            node.attr("Nombre") + ", " + node.attr("Apellido1") + " " + node.attr("Apellido2");
        std::string department = node.attr("CodigoDep");
        if (!department.empty()) {
            if (auto found = departments.find(department))
                department = *found;
            else
                context.report.note(describe("Profesor", i + 1, node) + ": no existe el departamento " +
                                    inQuotes(department) + "; DEPART guarda el código.");
        }
        const auto given = list.take(code);
        if (given.suffixed) noteSuffix(context, describe("Profesor", i + 1, node), code, given);
        table.rows.push_back(Row{given.code, name, department});
    }
}

void ExportarAulas(BuildContext& context) {
    auto& table = build::newTable(context, layouts::AULAT());
    CodeList list(true);
    const auto rooms = context.doc.select(paths::Aula);
    for (std::size_t i = 0; i < rooms.size(); ++i) {
        const auto& node = rooms[i];
        const std::string name = node.attr("Denominacion");
        std::string code = node.attr("Codigo");
        if (code.empty()) code = name.substr(0, 10);
        const auto given = list.take(code);
        if (given.suffixed) noteSuffix(context, describe("Aula", i + 1, node), code, given);
        table.rows.push_back(Row{given.code, name, std::monostate{}, std::monostate{}, node.attr("Codigo")});
    }
}

void ExportarGrupos(BuildContext& context) {
    // Tutors are looked up among the teachers as PROFT holds them.
    std::unordered_set<std::string> teachers;
    if (const auto* proft = context.findTable(layouts::PROFT().name)) {
        const int abrev = proft->layout->fieldIndex("ABREV");
        for (const auto& row : proft->rows)
            if (const auto* value = std::get_if<std::string>(&row[abrev]))
                teachers.insert(text::heldForm(*value, 10));
    }
    const CodeLookup levels(context.doc.select(paths::Ensenanza));

    auto& table = build::newTable(context, layouts::GRUPOST());
    context.alsoRemove.push_back("CURSOST");
    CodeList list(true);
    const auto groups = context.doc.select(paths::Grupo);
    for (std::size_t i = 0; i < groups.size(); ++i) {
        const auto& node = groups[i];
        const std::string code = node.attr("Codigo");
        std::string description = node.attr("Denominacion");
        const std::string level = node.attr("CodigoEnsenanza");
        const std::string shift = node.attr("Turno");
        const std::string year = node.attr("Curso");
        const std::string letter = node.attr("Letra");
        std::string tutor = node.attr("CodigoTutor");

        if (!tutor.empty() && teachers.count(tutor) == 0) {
            context.report.note(describe("Grupo", i + 1, node) + ": el tutor " + inQuotes(tutor) +
                                " no está entre los profesores; TUTOR queda vacío.");
            tutor.clear();
        }
        if (!level.empty()) {
            if (auto found = levels.find(level))
                description += " (" + *found + ")";
            else
                context.report.note(describe("Grupo", i + 1, node) + ": no existe la enseñanza " +
                                    inQuotes(level) + "; DESCRIP queda sin ella.");
        }
        const auto given = list.take(code);
        if (given.suffixed) noteSuffix(context, describe("Grupo", i + 1, node), code, given);
        table.rows.push_back(Row{given.code, shift, level, year, letter, description, tutor});
    }
}

const std::vector<Builder>& conversionBuilders() {
    static const std::vector<Builder> builders{
        {"ExportarMaterias", ExportarMaterias},
        {"ExportarTiposActividad", ExportarTiposActividad},
        {"ExportarProfesores", ExportarProfesores},
        {"ExportarAulas", ExportarAulas},
        {"ExportarGrupos", ExportarGrupos},
        {"ExportarSesiones", ExportarSesiones},
        {"ExportarMateriasGrupo", ExportarMateriasGrupo},
    };
    return builders;
}

} // namespace almadia
