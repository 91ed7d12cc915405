#pragma once

// The seam between a run (core) and its front end (dialog, command line, tests).

#include "export/RunReport.h"
#include "export/ShortCodes.h"
#include "formats/CentroDocument.h"

#include <filesystem>
#include <optional>
#include <string>

namespace almadia {

// What a run asks of its front end. The dialog and the batch program implement it; tests fake it.
class RunHost {
public:
    virtual ~RunHost() = default;
    // Asks for the centre file (the file dialog); nullopt when the user cancels.
    virtual std::optional<std::filesystem::path> chooseFile() = 0;
    // A modal message; `details` (the run report) may be shown on request.
    virtual void message(const std::string& text, const std::string& details = {}) = 0;
    // The error box, with the error's own message.
    virtual void showError(const std::string& text) = 0;
    virtual void setBusy(bool busy) = 0;
    // Closes the window (embedded mode); the front end writes the status on close.
    virtual void closeWindow() = 0;
};

enum class RunOutcome { Finished, Refused, Failed };

// Lesson lengths (Duracion1..3) found by the time-slot builder, read by the subject-load builder.
struct SessionLengths {
    int Duracion1 = 0;
    int Duracion2 = 0;
    int Duracion3 = 0;
};

// What lives as long as the window, handed to each run.
struct WindowState {
    bool embedded = false;            // NumParametros == 2
    int EstadoTransformacion = 0;     // 0 at start, 1 after a finished run, -1 after an embedded refusal
    std::filesystem::path FicheroXML; // last confirmed file, shared by both directions
    std::optional<CentroDocument> DocumentoXML;
    std::filesystem::path exchangeFolder;
    CodeRegistries registries;
    SessionLengths lengths;
    RunReport report; // the report of the last run
};

namespace messages {
inline constexpr const char* Finished = "Proceso finalizado";
inline constexpr const char* NoFile = "No existe archivo";
inline constexpr const char* NoFileOrSolution = "No existe archivo XML o Solución.";
inline constexpr const char* ImportReminder =
    "Deberá Abrir el fichero XML de RADEVE-Verur,\r\ndesde el cual realizó la Importación a Horavel";
} // namespace messages

} // namespace almadia
