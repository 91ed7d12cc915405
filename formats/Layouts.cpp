#include "formats/Layouts.h"

namespace almadia::layouts {

using dbase::FieldType;
using dbase::TableLayout;

namespace {
constexpr FieldType S = FieldType::String;
constexpr FieldType B = FieldType::Boolean;
constexpr FieldType I = FieldType::Integer;
constexpr FieldType F = FieldType::Float;
} // namespace

const TableLayout& ASIGNOMT() {
    static const TableLayout layout{"ASIGNOMT",
                                    {{"COD", S, 10},
                                     {"CODLARGO", S, 10},
                                     {"NOMBRE", S, 80},
                                     {"CODTAREA", S, 12},
                                     {"ESTAREA", B, 1},
                                     {"ABREV_GESTION", S, 10}},
                                    {}};
    return layout;
}

const TableLayout& PROFT() {
    static const TableLayout layout{"PROFT", {{"ABREV", S, 10}, {"NOMBRE", S, 80}, {"DEPART", S, 40}}, {}};
    return layout;
}

const TableLayout& AULAT() {
    static const TableLayout layout{"AULAT",
                                    {{"ABREV", S, 10},
                                     {"NOMBRE", S, 80},
                                     {"EDIFICIO", S, 1},
                                     {"MAXALUM", I, 4},
                                     {"ABREV_GESTION", S, 20}},
                                    {}};
    return layout;
}

const TableLayout& GRUPOST() {
    static const TableLayout layout{"GRUPOST",
                                    {{"ABREV", S, 10},
                                     {"TURNO", S, 1},
                                     {"NIVEL", S, 5},
                                     {"CURSO", S, 3},
                                     {"GRUPO", S, 2},
                                     {"DESCRIP", S, 80},
                                     {"TUTOR", S, 10}},
                                    {}};
    return layout;
}

const TableLayout& DIASHORAST() {
    static const TableLayout layout{"DIASHORAST",
                                    {{"DIHO", S, 10},
                                     {"CODDIHO", S, 10},
                                     {"DIA", S, 20},
                                     {"TEXTODIA", S, 20},
                                     {"HORA", S, 8},
                                     {"TEXTOHOR", S, 15},
                                     {"HORADESDE", S, 8},
                                     {"HORAHASTA", S, 8},
                                     {"MINUTOS", S, 8},
                                     {"SESION_ORDEN", I, 4},
                                     {"PLANTILLA", S, 20}},
                                    {}};
    return layout;
}

const TableLayout& COUNTSES() {
    static const TableLayout layout{"COUNTSES", {{"DURACION", S, 10}, {"NSES", I, 4}}, std::string("NSES")};
    return layout;
}

const TableLayout& ASIGT() {
    static const TableLayout layout{"ASIGT",
                                    {{"CASIG", S, 10},
                                     {"CPROF", S, 10},
                                     {"CGRUP", S, 10},
                                     {"CAULA", S, 10},
                                     {"TURNO", S, 1},
                                     {"NIVEL", S, 5},
                                     {"CURSO", S, 3},
                                     {"GRUPO", S, 2},
                                     {"HORAS", F, 8},
                                     {"SESIONES", S, 20},
                                     {"NCONEX", S, 4},
                                     {"CTAREA", S, 10},
                                     {"ASIG_GESTION", S, 10}},
                                    {}};
    return layout;
}

const std::vector<const TableLayout*>& all() {
    static const std::vector<const TableLayout*> tables{&ASIGNOMT(),   &PROFT(),    &AULAT(), &GRUPOST(),
                                                        &DIASHORAST(), &COUNTSES(), &ASIGT()};
    return tables;
}

} // namespace almadia::layouts

namespace almadia::dbase {

int TableLayout::fieldIndex(std::string_view fieldName) const {
    for (std::size_t i = 0; i < fields.size(); ++i)
        if (fields[i].name == fieldName) return static_cast<int>(i);
    return -1;
}

} // namespace almadia::dbase
