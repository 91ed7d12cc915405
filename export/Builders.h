#pragma once

// The seven table builders of the conversion run, in the order the run calls them. Each reads
// the document in its context and appends the rows of its table to context.tables.

#include "export/ConversionRun.h"

#include <string>

namespace almadia {

void ExportarMaterias(BuildContext& context);
void ExportarTiposActividad(BuildContext& context);
void ExportarProfesores(BuildContext& context);
void ExportarAulas(BuildContext& context);
void ExportarGrupos(BuildContext& context);
void ExportarSesiones(BuildContext& context);
void ExportarMateriasGrupo(BuildContext& context);

// A weekly load in hours ("02,50") as teaching sessions, computed in 32-bit steps with the lesson
// lengths. Throws Error with "'%s' no es un valor punto flotante válido" when `horas` is no number;
// the caller adds where the value comes from.
float loadFromHoras(const std::string& horas, const SessionLengths& lengths);
// The SESIONES text of a load: "1" per state, with the count beyond 13 written before 13 "1".
std::string sessionPattern(float load);

} // namespace almadia
