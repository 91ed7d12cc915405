// almadia-cli: both directions of the exchange without a window, and a table viewer.

#include "export/ConversionRun.h"
#include "formats/Dbase.h"
#include "formats/Error.h"
#include "formats/ExchangeFolder.h"
#include "import/TimetableExportRun.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int ExitFinished = 0;
constexpr int ExitFailed = 1;
constexpr int ExitRefused = 2;

constexpr const char* Usage =
    "Uso:\n"
    "  almadia-cli exportar CENTRO.xml [--carpeta DIR] [--informe FICHERO]\n"
    "      Convierte el archivo XML del centro en las siete tablas de trabajo del programa de\n"
    "      horarios, en la carpeta de intercambio.\n"
    "  almadia-cli importar CENTRO.xml [--carpeta DIR] [--informe FICHERO]\n"
    "      Convierte la solución del horario (SOLUC.DBF de la carpeta de intercambio) en el\n"
    "      archivo \"ResultadoHoravel\" + nombre del archivo del centro, junto a éste.\n"
    "  almadia-cli ver TABLA.DBF\n"
    "      Muestra una tabla dBase como CSV.\n"
    "  almadia-cli --help\n"
    "\n"
    "Opciones:\n"
    "  --carpeta DIR        carpeta de intercambio (debe existir; por omisión, ALMADIA_KTEMP o\n"
    "                       C:\\KTEMP, que fuera de Windows es drive_c/KTEMP del prefijo de Wine)\n"
    "  --informe FICHERO    escribe además el informe del proceso en FICHERO\n"
    "\n"
    "Estado de salida: 0 proceso finalizado, 1 detenido por un error, 2 rechazado (archivo\n"
    "inexistente, documento que no es de un centro, argumentos incorrectos).\n";

// The run's host for a terminal: the file is the argument, messages go to standard output and
// errors to standard error; there is no cursor and no window to close.
class ConsoleHost : public almadia::RunHost {
public:
    explicit ConsoleHost(fs::path file) : file_(std::move(file)) {}

    std::optional<fs::path> chooseFile() override { return file_; }

    void message(const std::string& text, const std::string& details) override {
        std::cout << text << '\n';
        if (!details.empty()) {
            std::cout << '\n' << details;
            if (details.back() != '\n') std::cout << '\n';
        }
        std::cout.flush();
    }

    void showError(const std::string& text) override { std::cerr << text << '\n'; }
    void setBusy(bool) override {}
    void closeWindow() override {}

private:
    fs::path file_;
};

int badArguments(const std::string& why) {
    std::cerr << "almadia-cli: " << why << "\n\n" << Usage;
    return ExitRefused;
}

struct RunArguments {
    fs::path centre;
    std::optional<fs::path> folder;
    std::optional<fs::path> reportFile;
};

// Parses "CENTRO.xml [--carpeta DIR] [--informe FICHERO]"; an error text when they are wrong.
std::optional<std::string> parseRunArguments(const std::vector<std::string>& args, RunArguments& out) {
    bool haveCentre = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto takeValue = [&](std::optional<fs::path>& target) -> std::optional<std::string> {
            if (target) return "la opción " + arg + " aparece más de una vez";
            if (i + 1 >= args.size() || args[i + 1].empty()) return "falta el valor de la opción " + arg;
            target = fs::path(args[++i]);
            return std::nullopt;
        };
        if (arg == "--carpeta") {
            if (auto e = takeValue(out.folder)) return e;
        } else if (arg == "--informe") {
            if (auto e = takeValue(out.reportFile)) return e;
        } else if (arg.size() > 1 && arg[0] == '-' && arg != "-") {
            return "opción desconocida: " + arg;
        } else if (!haveCentre) {
            out.centre = arg;
            haveCentre = true;
        } else {
            return "sobra el argumento " + arg;
        }
    }
    if (!haveCentre) return std::string("falta el archivo XML del centro");
    return std::nullopt;
}

bool writeReport(const fs::path& file, const std::string& text) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << text;
    out.flush();
    if (!out) {
        std::cerr << "No se ha podido escribir el informe en " << file.string() << '\n';
        return false;
    }
    return true;
}

int runDirection(const std::string& direction, const std::vector<std::string>& args) {
    RunArguments run;
    if (auto error = parseRunArguments(args, run)) return badArguments(*error);

    almadia::WindowState state;
    state.embedded = false;
    if (run.folder) {
        // The program never creates the exchange folder; a wrong one is a wrong argument.
        std::error_code ec;
        if (!fs::is_directory(*run.folder, ec))
            return badArguments("la carpeta de intercambio " + run.folder->string() + " no existe");
        state.exchangeFolder = *run.folder;
    } else {
        state.exchangeFolder = almadia::defaultExchangeFolder();
    }

    ConsoleHost host(run.centre);
    almadia::RunOutcome outcome;
    try {
        outcome = direction == "exportar" ? almadia::runConversion(host, state)
                                          : almadia::runTimetableExport(host, state);
    } catch (const std::exception& error) {
        // The runs report their own errors; this is only a last guard.
        std::cerr << error.what() << '\n';
        return ExitFailed;
    }

    if (outcome == almadia::RunOutcome::Refused) return ExitRefused;
    if (run.reportFile && !writeReport(*run.reportFile, state.report.text())) return ExitFailed;
    return outcome == almadia::RunOutcome::Finished ? ExitFinished : ExitFailed;
}

int showTable(const std::vector<std::string>& args) {
    if (args.size() != 1) return badArguments("ver necesita exactamente una tabla");
    if (!almadia::isRegularFile(args[0])) {
        std::cerr << "No existe archivo " << args[0] << '\n';
        return ExitRefused;
    }
    try {
        auto reader = almadia::dbase::DbfReader::open(args[0]);
        std::cout << almadia::dbase::toCsv(reader);
        std::cout.flush();
    } catch (const almadia::Error& error) {
        std::cerr << error.what() << '\n';
        return error.isRefusal() ? ExitRefused : ExitFailed;
    }
    return ExitFinished;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) return badArguments("falta la orden");

    const std::string command = args.front();
    args.erase(args.begin());
    if (command == "--help" || command == "-h" || command == "ayuda") {
        std::cout << Usage;
        return ExitFinished;
    }
    for (const auto& arg : args)
        if (arg == "--help" || arg == "-h") {
            std::cout << Usage;
            return ExitFinished;
        }

    if (command == "exportar" || command == "importar") return runDirection(command, args);
    if (command == "ver") return showTable(args);
    return badArguments("orden desconocida: " + command);
}
