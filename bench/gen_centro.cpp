// Writes a large synthetic centre document for the benchmarks.
//
//   gen_centro [--grupos N | --escala F] [--codificacion latin1|utf8] SALIDA.xml
//
// Scale 1 is a large school: 200 groups with 15 subject loads each (3,000 loads), about 120
// teachers and a few hundred subjects; everything grows with the number of groups. The values
// look like a real export's: Spanish names with accents, long subject codes that collide once
// cut, repeated teacher codes, classrooms without a code, hours such as 02,50 and 00,00.

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

namespace {

const char* const FirstNames[] = {
    "María", "José",   "Ana Belén", "Francisco", "Lucía",  "Jesús",   "Carmen",     "Álvaro",
    "Rocío", "Óscar",  "Inés",      "Raúl",      "Begoña", "Iñigo",   "Mónica",     "Tomás",
    "Sofía", "Ramón",  "Verónica",  "Adrián",    "Nuria",  "Joaquín", "Ángela",     "Sebastián",
    "Elena", "Víctor", "Noelia",    "Andrés",    "Pilar",  "Héctor",  "Montserrat", "Rubén"};

const char* const Surnames[] = {
    "García",    "Fernández", "González", "Rodríguez", "López",     "Martínez", "Sánchez",   "Pérez",
    "Gómez",     "Martín",    "Jiménez",  "Ruiz",      "Hernández", "Díaz",     "Moreno",    "Muñoz",
    "Álvarez",   "Romero",    "Alonso",   "Gutiérrez", "Navarro",   "Torres",   "Domínguez", "Vázquez",
    "Ramos",     "Gil",       "Ramírez",  "Serrano",   "Blanco",    "Suárez",   "Molina",    "Castillo",
    "Ortega",    "Delgado",   "Rubio",    "Marín",     "Sanz",      "Núñez",    "Iglesias",  "Medina",
    "Garrido",   "Cortés",    "Castro",   "Santos",    "Lozano",    "Guerrero", "Cano",      "Prieto",
    "Méndez",    "Cruz",      "Calvo",    "Gallego",   "Vidal",     "León",     "Márquez",   "Herrera",
    "Peña",      "Flores",    "Cabrera",  "Campos",    "Vega",      "Fuentes",  "Carrasco",  "Díez",
    "Caballero", "Reyes",     "Nieto",    "Aguilar",   "Pascual",   "Santana",  "Herrero",   "Montero",
    "Lorenzo",   "Hidalgo",   "Giménez",  "Ibáñez",    "Ferrer",    "Durán",    "Santiago",  "Benítez"};

struct Named {
    const char* code;
    const char* name;
};

const Named Departments[] = {{"LCL", "Lengua Castellana y Literatura"},
                             {"MAT", "Matemáticas"},
                             {"GEH", "Geografía e Historia"},
                             {"ING", "Inglés"},
                             {"FRA", "Francés"},
                             {"ALE", "Alemán"},
                             {"BYG", "Biología y Geología"},
                             {"FYQ", "Física y Química"},
                             {"EFI", "Educación Física"},
                             {"TEC", "Tecnología"},
                             {"DIB", "Dibujo"},
                             {"MUS", "Música"},
                             {"FIL", "Filosofía"},
                             {"CLA", "Latín y Griego"},
                             {"ECO", "Economía"},
                             {"ORI", "Orientación"},
                             {"INF", "Informática y Comunicaciones"},
                             {"ADM", "Administración y Gestión"},
                             {"SAN", "Sanidad"},
                             {"FOL", "Formación y Orientación Laboral"}};

const Named Subjects[] = {{"LENGUA", "Lengua Castellana y Literatura"},
                          {"MATEMATICAS", "Matemáticas"},
                          {"INGLES", "Primera Lengua Extranjera: Inglés"},
                          {"GEOGRAFIA", "Geografía e Historia"},
                          {"BIOLOGIA", "Biología y Geología"},
                          {"FISICAYQUIMICA", "Física y Química"},
                          {"EDFISICA", "Educación Física"},
                          {"MUSICA", "Música"},
                          {"PLASTICA", "Educación Plástica, Visual y Audiovisual"},
                          {"TECNOLOGIA", "Tecnología y Digitalización"},
                          {"FRANCES", "Segunda Lengua Extranjera: Francés"},
                          {"RELIGION", "Religión"},
                          {"ATENCION", "Atención Educativa"},
                          {"TUTORIA", "Tutoría"},
                          {"FILOSOFIA", "Filosofía"},
                          {"LATIN", "Latín"},
                          {"GRIEGO", "Griego"},
                          {"ECONOMIA", "Economía y Emprendimiento"},
                          {"HISTORIAESPAÑA", "Historia de España"},
                          {"DIBUJOTECNICO", "Dibujo Técnico"},
                          {"QUIMICA", "Química"},
                          {"FISICA", "Física"},
                          {"PSICOLOGIA", "Psicología"},
                          {"DIGITALIZACION", "Digitalización"},
                          {"VALORESCIVICOS", "Educación en Valores Cívicos y Éticos"},
                          {"CULTURACLASICA", "Cultura Clásica"},
                          {"OFIMATICA", "Aplicaciones Ofimáticas"},
                          {"REDESLOCALES", "Redes Locales"},
                          {"FOL", "Formación y Orientación Laboral"},
                          {"EMPRESA", "Empresa e Iniciativa Emprendedora"}};

const Named BaseLevels[] = {{"ESO", "Educación Secundaria Obligatoria"},
                            {"BACH", "Bachillerato"},
                            {"FPB", "Formación Profesional Básica"},
                            {"CFGM", "Ciclo Formativo de Grado Medio"}};

const Named Activities[] = {{"GUARDIA", "Guardia"},
                            {"GUARDIARECREO", "Guardia de recreo"},
                            {"GUARDIABIBLIO", "Guardia de biblioteca"},
                            {"REUNION", "Reunión de departamento"},
                            {"REUNIONEQUIPO", "Reunión de equipo educativo"},
                            {"ATFAMILIAS", "Atención a familias"},
                            {"JEFDEP", "Jefatura de departamento"},
                            {"COORDBIL", "Coordinación bilingüe"},
                            {"MANTLAB", "Mantenimiento de laboratorio"},
                            {"TIC", "Coordinación TIC"}};

const char* const Hours[] = {"04,00", "03,00", "03,00", "02,00", "02,00", "01,00", "04,00", "03,00",
                             "02,50", "01,00", "02,00", "01,50", "03,00", "02,00", "00,00"};

struct Slot {
    const char* from;
    const char* to;
};
const Slot Grid[] = {{"08:15", "09:10"}, {"09:10", "10:05"}, {"10:05", "11:00"}, {"11:00", "11:30"},
                     {"11:30", "12:25"}, {"12:25", "13:20"}, {"13:20", "13:50"}, {"13:50", "14:45"}};
const Slot AfternoonGrid[] = {{"15:30", "16:25"}, {"16:25", "17:20"}, {"17:20", "18:15"},
                              {"18:15", "18:45"}, {"18:45", "19:40"}, {"19:40", "20:35"}};

// A deterministic generator, so that every run writes the same file for the same size.
class Random {
public:
    unsigned next() {
        state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<unsigned>(state_ >> 33);
    }
    unsigned below(unsigned n) { return next() % n; }

private:
    unsigned long long state_ = 20262027;
};

// Upper-case ASCII form of a Spanish word for codes: accents dropped, Ñ kept as N.
std::string codeForm(std::string_view utf8) {
    std::string out;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(utf8[i]);
        if (c == 0xC3 && i + 1 < utf8.size()) {
            unsigned char d = static_cast<unsigned char>(utf8[++i]);
            const char* plain = "AAAAAAACEEEEIIIIDNOOOOO*OUUUUYTsaaaaaaaceeeeiiiidnooooo/ouuuuyty";
            char p = (d >= 0x80 && d <= 0xBF) ? plain[d - 0x80] : '?';
            out += static_cast<char>(p >= 'a' && p <= 'z' ? p - 32 : p);
        } else if (c >= 'a' && c <= 'z') {
            out += static_cast<char>(c - 32);
        } else if (c >= 'A' && c <= 'Z') {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string escaped(std::string_view s) {
    std::string out;
    for (char c : s) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

// UTF-8 to ISO-8859-1 for the Latin-1 characters this generator uses.
std::string toLatin1(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if ((c == 0xC2 || c == 0xC3) && i + 1 < utf8.size()) {
            unsigned char d = static_cast<unsigned char>(utf8[++i]);
            out += static_cast<char>(((c & 0x03) << 6) | (d & 0x3F));
        } else {
            out += '?';
        }
    }
    return out;
}

struct Level {
    std::string code;
    std::string name;
};

struct Options {
    long groups = 200;
    bool latin1 = true;
    std::string output;
};

int usage() {
    std::cerr << "Uso: gen_centro [--grupos N | --escala F] [--codificacion latin1|utf8] SALIDA.xml\n";
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--grupos" && i + 1 < argc) {
            options.groups = std::atol(argv[++i]);
        } else if (arg == "--escala" && i + 1 < argc) {
            options.groups = std::lround(200.0 * std::atof(argv[++i]));
        } else if (arg == "--codificacion" && i + 1 < argc) {
            std::string enc = argv[++i];
            if (enc != "latin1" && enc != "utf8") return usage();
            options.latin1 = enc == "latin1";
        } else if (!arg.empty() && arg[0] != '-' && options.output.empty()) {
            options.output = arg;
        } else {
            return usage();
        }
    }
    if (options.output.empty() || options.groups < 2) return usage();

    Random random;
    const long groups = options.groups;
    const long teachers = std::max(40L, groups * 3 / 5);
    const long rooms = groups / 2 + 30;

    // Teaching levels: the four base ones, then one vocational cycle for every 50 groups.
    std::vector<Level> levels;
    for (const auto& level : BaseLevels) levels.push_back({level.code, level.name});
    for (long i = 0; levels.size() < static_cast<std::size_t>(4 + groups / 50); ++i)
        levels.push_back({"CF" + std::to_string(i + 1),
                          "Ciclo Formativo nº " + std::to_string(i + 1) + " de Grado Superior"});

    std::string doc;
    doc.reserve(static_cast<std::size_t>(groups) * 1100 + 100000);
    auto attr = [&](const char* name, std::string_view value) {
        doc += ' ';
        doc += name;
        doc += "=\"";
        doc += escaped(value);
        doc += '"';
    };

    doc += std::string("<?xml version=\"1.0\" encoding=\"") + (options.latin1 ? "ISO-8859-1" : "UTF-8") +
           "\"?>\n<!-- Centro sintético para pruebas de rendimiento -->\n<Centro";
    attr("Codigo", "99" + std::to_string(100000 + groups % 100000));
    attr("Nombre", "IES Sintético de Valdeoro nº " + std::to_string(groups));
    attr("CursoEscolar", "2026/2027");
    attr("Version", "3.2.1");
    doc += ">\n";

    doc += "  <Ensenanzas>\n";
    for (const auto& level : levels) {
        doc += "    <Ensenanza";
        attr("Codigo", level.code);
        attr("Denominacion", level.name);
        doc += "/>\n";
    }
    doc += "  </Ensenanzas>\n  <Departamentos>\n";
    for (const auto& dep : Departments) {
        doc += "    <Departamento";
        attr("Codigo", dep.code);
        attr("Denominacion", dep.name);
        doc += "/>\n";
    }
    doc += "  </Departamentos>\n  <Profesores>\n";
    std::vector<std::string> teacherCodes;
    for (long i = 0; i < teachers; ++i) {
        std::string first = FirstNames[random.below(std::size(FirstNames))];
        std::string s1 = Surnames[random.below(std::size(Surnames))];
        std::string s2 = Surnames[random.below(std::size(Surnames))];
        // Initial and first surname: common names repeat, as they do in real staff lists.
        std::string code = codeForm(first).substr(0, 1) + codeForm(s1);
        if (i % 7 == 0) code += codeForm(s2).substr(0, 1);
        teacherCodes.push_back(code);
        doc += "    <Profesor";
        attr("Codigo", code);
        attr("Nombre", first);
        attr("Apellido1", s1);
        attr("Apellido2", s2);
        attr("CodigoDep", i % 41 == 40 ? "" : Departments[i % std::size(Departments)].code);
        doc += "/>\n";
    }
    doc += "  </Profesores>\n  <Materias>\n";
    for (std::size_t l = 0; l < levels.size(); ++l)
        for (int course = 1; course <= 4; ++course)
            for (const auto& subject : Subjects) {
                doc += "    <Materia";
                attr("Codigo", codeForm(subject.code) + std::to_string(course) + levels[l].code);
                attr("Denominacion",
                     std::string(subject.name) + " " + std::to_string(course) + "º " + levels[l].code);
                doc += "/>\n";
            }
    doc += "  </Materias>\n  <TiposActividad>\n";
    for (const auto& activity : Activities) {
        doc += "    <TipoActividad";
        attr("Codigo", activity.code);
        attr("Denominacion", activity.name);
        doc += "/>\n";
    }
    doc += "  </TiposActividad>\n  <Aulas>\n";
    for (long i = 0; i < rooms; ++i) {
        doc += "    <Aula";
        if (i % 25 == 24) {
            attr("Codigo", "");
            attr("Denominacion", "Aula de apoyo nº " + std::to_string(i + 1));
        } else if (i % 10 == 9) {
            attr("Codigo", "LABORATORIO" + std::to_string(i + 1));
            attr("Denominacion", "Laboratorio de Ciencias " + std::to_string(i + 1));
        } else {
            attr("Codigo", "A" + std::to_string(100 + i));
            attr("Denominacion", "Aula " + std::to_string(i / 20 + 1) + "." + std::to_string(i % 20 + 1));
        }
        doc += "/>\n";
    }
    doc += "  </Aulas>\n  <Grupos>\n";
    for (long i = 0; i < groups; ++i) {
        const Level& level = levels[i % levels.size()];
        const long rank = i / static_cast<long>(levels.size());
        const int course = static_cast<int>(rank % 4) + 1;
        const long letterIndex = rank / 4;
        std::string letter(1, static_cast<char>('A' + letterIndex % 26));
        if (letterIndex >= 26) letter += std::to_string(letterIndex / 26);
        const bool afternoon = i % 9 == 8;
        doc += "    <Grupo";
        attr("Codigo", std::to_string(course) + level.code + letter);
        attr("Denominacion", std::to_string(course) + "º " + level.code + " " + letter);
        attr("CodigoEnsenanza", level.code);
        attr("Turno", afternoon ? "Tarde" : "Mañana");
        attr("Curso", std::to_string(course));
        attr("Letra", letter);
        attr("CodigoTutor", i % 13 == 12 ? "" : teacherCodes[i % teacherCodes.size()]);
        doc += ">\n      <MateriasGrupo>\n";
        for (int k = 0; k < 15; ++k) {
            const auto& subject = Subjects[(i + k * 2) % std::size(Subjects)];
            doc += "        <MateriaGrupo";
            attr("Codigo", codeForm(subject.code) + std::to_string(course) + level.code);
            attr("Horas", Hours[(i + k) % std::size(Hours)]);
            doc += "/>\n";
        }
        doc += "      </MateriasGrupo>\n    </Grupo>\n";
    }
    doc += "  </Grupos>\n  <Sesiones>\n";
    for (const char* day : {"L", "M", "X", "J", "V"}) {
        auto slots = [&](const auto& grid) {
            for (const auto& slot : grid) {
                doc += "    <Sesion";
                attr("Dia", day);
                attr("HoraInicio", slot.from);
                attr("HoraFin", slot.to);
                doc += "/>\n";
            }
        };
        slots(Grid);
        if (groups >= 400) slots(AfternoonGrid);
    }
    doc += "  </Sesiones>\n</Centro>\n";

    std::ofstream out(options.output, std::ios::binary | std::ios::trunc);
    out << (options.latin1 ? toLatin1(doc) : doc);
    out.close();
    if (!out) {
        std::cerr << "No se ha podido escribir " << options.output << '\n';
        return 1;
    }
    std::cerr << options.output << ": " << groups << " grupos, " << groups * 15 << " cargas, " << teachers
              << " profesores, " << levels.size() * 4 * std::size(Subjects) << " materias\n";
    return 0;
}
