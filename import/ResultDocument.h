#pragma once

// The result document: the centre export with its root element replaced by a new `Centro` that
// carries the export's header and the timetable, one `actividad` per lesson.

#include "formats/CentroDocument.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

struct _xmlNode;

namespace almadia {

// The pass of the timetable export run an activity comes from: the second one writes its
// classroom under `codigAula`.
enum class Pass { First, Second };

// The eight values of an activity, in attribute order, as the working tables hold them
// (Windows-1252): tipo, codigoProfesor, codigoGrupo, codigoMateria, classroom, dia, HoraInicio,
// HoraFin.
using ActivityValues = std::array<std::string_view, 8>;

// The moment as the regional settings show it: the short date (with a four-digit year), one space,
// the long time; UTF-8. `localeName` "" takes the user's settings from the environment (LC_ALL,
// LC_TIME, LANG). Without settings (the C locale) or with a locale that is not installed, the form
// is the Spanish one, dd/mm/yyyy hh:mm:ss.
std::string regionalDateTime(std::time_t moment, const std::string& localeName = "");

class ResultDocument {
public:
    // Turns the loaded export into the result document: reads the header of its root `Centro`,
    // removes that root with all it holds, keeps every node outside it in order, and appends the
    // new `Centro` (Codigo, Nombre, CursoEscolar, FechaExportacion, Version) holding one empty
    // `horario`. `fechaExportacion` is UTF-8. A document whose root is not `Centro` is refused.
    static ResultDocument start(CentroDocument& document, const std::string& fechaExportacion);

    // Appends one `actividad` to `horario`. The values are converted to UTF-8 here.
    void addActivity(const ActivityValues& values, Pass pass);
    std::size_t activityCount() const { return activities_.size(); }

    // Writes the whole document to `file`, in the encoding the export declared (UTF-8 when it
    // declared none). The file is written beside its final name and renamed into place, so an
    // earlier file of that name stays whole until the new one is complete. Throws Error naming
    // the file.
    void save(const std::filesystem::path& file) const;

private:
    // Activities are held as indexes into a pool of distinct values, so a timetable of a million
    // lessons costs a few dozen bytes each; they are written straight to the file when saved.
    struct Activity {
        std::array<std::uint32_t, 8> values;
        Pass pass;
    };
    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
    };

    ResultDocument(CentroDocument& document, _xmlNode* root);
    std::uint32_t intern(std::string_view cp1252);

    CentroDocument* document_;
    _xmlNode* root_;
    std::unordered_map<std::string, std::uint32_t, Hash, std::equal_to<>> ids_;
    std::vector<std::string> pool_; // UTF-8, ready for the file
    std::vector<Activity> activities_;
};

} // namespace almadia
