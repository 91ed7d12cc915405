#include "export/Builders.h"

#include "formats/Error.h"
#include "formats/Layouts.h"
#include "formats/Text.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>
#include <vector>

using namespace almadia;

namespace {

using BuilderFn = void (*)(BuildContext&);

struct Outcome {
    std::vector<dbase::Table> tables;
    std::vector<std::string> alsoRemove;
    SessionLengths lengths;
    std::vector<std::string> notes;

    const dbase::Table& table(const std::string& name) const {
        for (const auto& t : tables)
            if (t.layout->name == name) return t;
        throw std::runtime_error("no table " + name);
    }

    // A column as the table holds it, in UTF-8: texts cut to the field width, trailing blanks
    // dropped; "null" for a field never written; T/F; numbers in decimal.
    std::vector<std::string> column(const std::string& tableName, const std::string& field) const {
        const auto& t = table(tableName);
        const int index = t.layout->fieldIndex(field);
        if (index < 0) throw std::runtime_error("no field " + field);
        std::vector<std::string> out;
        for (const auto& row : t.rows) {
            const auto& value = row.at(index);
            if (std::holds_alternative<std::monostate>(value))
                out.push_back("null");
            else if (const auto* s = std::get_if<std::string>(&value))
                out.push_back(text::cp1252ToUtf8(text::heldForm(*s, t.layout->fields[index].width)));
            else if (const auto* b = std::get_if<bool>(&value))
                out.push_back(*b ? "T" : "F");
            else if (const auto* i = std::get_if<std::int32_t>(&value))
                out.push_back(std::to_string(*i));
            else {
                char buffer[32];
                std::snprintf(buffer, sizeof buffer, "%g", std::get<double>(value));
                out.push_back(buffer);
            }
        }
        return out;
    }

    bool noted(const std::string& piece) const {
        for (const auto& note : notes)
            if (note.find(piece) != std::string::npos) return true;
        return false;
    }
};

using Column = std::vector<std::string>;

// Runs builders on a centre document whose body (UTF-8) goes inside <Centro>.
Outcome build(const std::string& body, std::initializer_list<BuilderFn> builders,
              SessionLengths lengths = {}) {
    const auto doc = CentroDocument::parse(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Centro>\n" + body + "\n</Centro>\n", "centro.xml");
    CodeRegistries registries;
    RunReport report;
    BuildContext context{doc, registries, lengths, report, {}, {}};
    for (auto* builder : builders) builder(context);
    return {std::move(context.tables), std::move(context.alsoRemove), lengths, report.notes()};
}

TEST(SubjectsAndActivityTypes, ShortCodesAndLeftOutElements) {
    const auto out = build(R"(
  <Materias>
    <Materia Codigo=" LEN " Denominacion=" Lengua "/>
    <Materia Codigo="LEN" Denominacion="Lengua otra vez"/>
    <Materia Codigo="BIOLOGIA1BACH" Denominacion="Biología"/>
    <Materia Codigo="BIOLOGIA2BACH" Denominacion="Biología 2"/>
    <Materia Codigo="BIOLOGIA1BACH" Denominacion="Biología bis"/>
    <Materia Codigo="len" Denominacion="minúsculas"/>
  </Materias>
  <TiposActividad>
    <TipoActividad Codigo="LEN" Denominacion="choca con una materia"/>
    <TipoActividad Codigo="GUARDIARECREO" Denominacion="Guardia de recreo"/>
    <TipoActividad Codigo="GUARDIARECREO2" Denominacion="Guardia 2"/>
    <TipoActividad Codigo="GUARDIARECREO3" Denominacion="Guardia 3"/>
  </TiposActividad>)",
                           {ExportarMaterias, ExportarTiposActividad});
    EXPECT_EQ(out.column("ASIGNOMT", "COD"),
              (Column{"LEN", "BIOLOGIACH", "BIOLOGIA1B", "len", "GUARDIAREO", "GUARDIAREC"}));
    EXPECT_EQ(out.column("ASIGNOMT", "CODLARGO"),
              (Column{"LEN", "BIOLOGIA1B", "BIOLOGIA1B", "len", "GUARDIAREC", "GUARDIAREC"}));
    EXPECT_EQ(out.column("ASIGNOMT", "ABREV_GESTION"), out.column("ASIGNOMT", "CODLARGO"));
    EXPECT_EQ(out.column("ASIGNOMT", "NOMBRE"),
              (Column{"Lengua", "Biología", "Biología bis", "minúsculas", "Guardia de recreo", "Guardia 2"}));
    EXPECT_EQ(out.column("ASIGNOMT", "CODTAREA"), Column(6, "null"));
    EXPECT_EQ(out.column("ASIGNOMT", "ESTAREA"), (Column{"F", "F", "F", "F", "T", "T"}));

    EXPECT_EQ(out.notes.size(), 4u);
    EXPECT_TRUE(out.noted("Materia n.º 2 (línea 6, código 'LEN'): se omite"));
    EXPECT_TRUE(
        out.noted("Materia n.º 4 (línea 8, código 'BIOLOGIA2BACH'): se omite, el código corto 'BIOLOGIACH' "
                  "ya está en uso."));
    EXPECT_TRUE(out.noted("TipoActividad n.º 1"));
    EXPECT_TRUE(out.noted("TipoActividad n.º 4"));
}

TEST(SubjectsAndActivityTypes, EmptyCodesAndShortLists) {
    const struct {
        const char* what;
        const char* body;
        Column cod;
    } cases[] = {
        {"one subject is processed",
         R"(<Materias><Materia Codigo="MAT" Denominacion="M"/></Materias>)",
         {"MAT"}},
        {"no activity types add nothing",
         R"(<Materias><Materia Codigo="MAT"/><Materia Codigo="FIS"/></Materias><TiposActividad/>)",
         {"MAT", "FIS"}},
        {"the first empty code gives a row, later ones none",
         R"(<Materias><Materia Codigo=""/><Materia Denominacion="sin código"/></Materias>
            <TiposActividad><TipoActividad Codigo="  "/></TiposActividad>)",
         {""}},
        {"13 characters: first 8 and last 2",
         R"(<Materias><Materia Codigo="MATEMATICASII"/></Materias>)",
         {"MATEMATIII"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(build(c.body, {ExportarMaterias, ExportarTiposActividad}).column("ASIGNOMT", "COD"), c.cod)
            << c.what;
}

TEST(Teachers, NamesDepartmentsAndCodes) {
    const auto out = build(R"(
  <Departamentos>
    <Departamento Codigo="MAT" Denominacion=" Matemáticas "/>
    <Departamento Codigo="LEN" Denominacion="Lengua castellana"/>
    <Departamento Codigo="MAT" Denominacion="Segundo con el mismo código"/>
  </Departamentos>
  <Profesores>
    <Profesor Codigo="JGP" Nombre="Ana" Apellido1="Pérez" Apellido2="Díaz" CodigoDep="MAT"/>
    <Profesor Codigo="JGP" Nombre="Luis" Apellido1="García" Apellido2="" CodigoDep="mat"/>
    <Profesor Codigo="jgp" CodigoDep="   "/>
    <Profesor Codigo="PROFESORLARGO" Nombre="Eva" Apellido1="Ruiz" Apellido2="Sanz" CodigoDep="FIS"/>
    <Profesor Codigo="PROFESORLAXX" Nombre="" Apellido1="Gil" Apellido2="Sol" CodigoDep="LEN"/>
  </Profesores>)",
                           {ExportarProfesores});
    EXPECT_EQ(out.column("PROFT", "ABREV"), (Column{"JGP", "JGP1", "jgp2", "PROFESORLA", "PROFESORL1"}));
    // The whole code goes to the table, which keeps its first 10 characters.
    EXPECT_EQ(std::get<std::string>(out.table("PROFT").rows[3][0]), "PROFESORLARGO");
    EXPECT_EQ(out.column("PROFT", "NOMBRE"),
              (Column{"Ana, Pérez Díaz", "Luis, García", ",", "Eva, Ruiz Sanz", ", Gil Sol"}));
    EXPECT_EQ(std::get<std::string>(out.table("PROFT").rows[1][1]), text::utf8ToCp1252("Luis, García "));
    EXPECT_EQ(std::get<std::string>(out.table("PROFT").rows[2][1]), ",  ");
    EXPECT_EQ(out.column("PROFT", "DEPART"), (Column{"Matemáticas", "mat", "", "FIS", "Lengua castellana"}));

    EXPECT_TRUE(out.noted("Profesor n.º 2") && out.noted("departamento 'mat'"));
    EXPECT_TRUE(out.noted("departamento 'FIS'"));
    EXPECT_TRUE(out.noted("el código 'JGP' está repetido, se escribe 'JGP1'"));
    EXPECT_TRUE(out.noted("se escribe 'PROFESORL1'"));
}

TEST(Classrooms, FallbackToNameAndCompression) {
    const auto out = build(R"(
  <Aulas>
    <Aula Codigo="" Denominacion="Aula de música"/>
    <Aula Denominacion="Gimnasio"/>
    <Aula Codigo=" " Denominacion="Gimnasio"/>
    <Aula Codigo="" Denominacion="Laboratorio de física"/>
    <Aula Codigo="" Denominacion="Laboratorio de física"/>
    <Aula Codigo="" Denominacion=""/>
    <Aula/>
    <Aula Codigo="AULAINFORM12" Denominacion="Informática"/>
    <Aula Codigo="" Denominacion="Taller de tecnología"/>
  </Aulas>)",
                           {ExportarAulas});
    EXPECT_EQ(out.column("AULAT", "ABREV"), (Column{"Aula de mú", "Gimnasio", "Gimnasio1", "Laboratori",
                                                    "Laboratoi1", "", "1", "AULAINFO12", "Taller de"}));
    EXPECT_EQ(out.column("AULAT", "ABREV_GESTION"), (Column{"", "", "", "", "", "", "", "AULAINFORM12", ""}));
    EXPECT_EQ(std::get<std::string>(out.table("AULAT").rows[8][0]), "Taller de ")
        << "the blank of the name stays";
    EXPECT_EQ(out.column("AULAT", "NOMBRE")[3], "Laboratorio de física");
    EXPECT_EQ(out.column("AULAT", "EDIFICIO"), Column(9, "null"));
    EXPECT_EQ(out.column("AULAT", "MAXALUM"), Column(9, "null"));
}

const char* groupsBody = R"(
  <Profesores>
    <Profesor Codigo="JGP"/>
    <Profesor Codigo="PROFESORLARGO"/>
  </Profesores>
  <Ensenanzas>
    <Ensenanza Codigo="ESO" Denominacion=" Educación Secundaria Obligatoria "/>
    <Ensenanza Codigo="BACH" Denominacion="Bachillerato"/>
    <Ensenanza Codigo="ESO" Denominacion="Segunda con el mismo código"/>
  </Ensenanzas>
  <Grupos>
    <Grupo Codigo="1ESOA" Denominacion="1º ESO A" CodigoEnsenanza="ESO" Turno="Mañana" Curso="1" Letra="ABC" CodigoTutor=" JGP "/>
    <Grupo Codigo="1ESOB" Denominacion="1º ESO B" CodigoEnsenanza="eso" Turno="T" Curso="1" Letra="B" CodigoTutor="jgp"/>
    <Grupo Codigo="2BACHCIENCIAS" Denominacion="" CodigoEnsenanza="BACH" CodigoTutor="PROFESORLARGO"/>
    <Grupo Codigo="2BACHCIENCIAS" Denominacion="x" CodigoEnsenanza="" CodigoTutor="PROFESORLA"/>
    <Grupo Codigo="3ESO" Denominacion="3º" CodigoEnsenanza="FP" CodigoTutor="NADIE"/>
  </Grupos>)";

TEST(Groups, DescriptionTutorAndCodes) {
    const auto out = build(groupsBody, {ExportarProfesores, ExportarGrupos});
    EXPECT_EQ(out.column("GRUPOST", "ABREV"), (Column{"1ESOA", "1ESOB", "2BACHCIEAS", "2BACHCIEC1", "3ESO"}));
    EXPECT_EQ(out.column("GRUPOST", "DESCRIP"), (Column{"1º ESO A (Educación Secundaria Obligatoria)",
                                                        "1º ESO B", " (Bachillerato)", "x", "3º"}));
    EXPECT_EQ(out.column("GRUPOST", "NIVEL"), (Column{"ESO", "eso", "BACH", "", "FP"}));
    EXPECT_EQ(out.column("GRUPOST", "TURNO"), (Column{"M", "T", "", "", ""}));
    EXPECT_EQ(out.column("GRUPOST", "GRUPO"), (Column{"AB", "B", "", "", ""}));
    // A tutor counts only as PROFT holds the teacher: case counts, 10 characters.
    EXPECT_EQ(out.column("GRUPOST", "TUTOR"), (Column{"JGP", "", "", "PROFESORLA", ""}));
    EXPECT_EQ(out.alsoRemove, (std::vector<std::string>{"CURSOST"}));

    EXPECT_TRUE(out.noted("Grupo n.º 2") && out.noted("el tutor 'jgp'"));
    EXPECT_TRUE(out.noted("el tutor 'PROFESORLARGO'"));
    EXPECT_TRUE(out.noted("el tutor 'NADIE'"));
    EXPECT_TRUE(out.noted("la enseñanza 'eso'"));
    EXPECT_TRUE(out.noted("la enseñanza 'FP'"));
    EXPECT_TRUE(out.noted("se escribe '2BACHCIEC1'"));
}

TEST(Groups, WithoutTeachersNoTutor) {
    const auto out = build(groupsBody, {ExportarGrupos});
    EXPECT_EQ(out.column("GRUPOST", "TUTOR"), Column(5, ""));
}

// A list of one element gives its element in every builder.
TEST(ListsOfOne, EveryBuilderProcessesThem) {
    const auto out = build(R"(
  <Materias><Materia Codigo="MAT" Denominacion="Matemáticas"/></Materias>
  <TiposActividad><TipoActividad Codigo="GUA" Denominacion="Guardia"/></TiposActividad>
  <Departamentos><Departamento Codigo="D1" Denominacion="Ciencias"/></Departamentos>
  <Profesores><Profesor Codigo="P1" Nombre="Ana" Apellido1="A" Apellido2="B" CodigoDep="D1"/></Profesores>
  <Aulas><Aula Codigo="A1" Denominacion="Aula 1"/></Aulas>
  <Ensenanzas><Ensenanza Codigo="ESO" Denominacion="Secundaria"/></Ensenanzas>
  <Grupos>
    <Grupo Codigo="G1" Denominacion="1A" CodigoEnsenanza="ESO" CodigoTutor="P1">
      <MateriasGrupo><MateriaGrupo Codigo="MAT" Horas="04,00"/></MateriasGrupo>
    </Grupo>
  </Grupos>
  <Sesiones><Sesion Dia="L" HoraInicio="08:00" HoraFin="08:55"/></Sesiones>)",
                           {ExportarMaterias, ExportarTiposActividad, ExportarProfesores, ExportarAulas,
                            ExportarGrupos, ExportarSesiones, ExportarMateriasGrupo});
    EXPECT_EQ(out.column("ASIGNOMT", "COD"), (Column{"MAT", "GUA"}));
    EXPECT_EQ(out.column("PROFT", "DEPART"), Column{"Ciencias"});
    EXPECT_EQ(out.column("AULAT", "ABREV"), Column{"A1"});
    EXPECT_EQ(out.column("GRUPOST", "DESCRIP"), Column{"1A (Secundaria)"});
    EXPECT_EQ(out.column("GRUPOST", "TUTOR"), Column{"P1"});
    EXPECT_EQ(out.column("DIASHORAST", "DIHO"), Column{"11"});
    EXPECT_EQ(out.column("COUNTSES", "DURACION"), Column{"55"});
    EXPECT_EQ(out.lengths.Duracion1, 55);
    EXPECT_EQ(out.column("ASIGT", "CASIG"), Column{"MAT"});
    EXPECT_TRUE(out.notes.empty());
}

std::string sessions(const std::vector<std::array<const char*, 3>>& slots) {
    std::string body = "<Sesiones>";
    for (const auto& [day, start, end] : slots)
        body +=
            std::string("<Sesion Dia=\"") + day + "\" HoraInicio=\"" + start + "\" HoraFin=\"" + end + "\"/>";
    return body + "</Sesiones>";
}

TEST(TimeSlots, GridCountsAndLengths) {
    struct Case {
        const char* what;
        std::vector<std::array<const char*, 3>> slots;
        Column diho, textohor, minutos, duracion, nses;
        SessionLengths lengths;
    };
    const Case cases[] = {
        {"55, 55, 30, 55 on Monday and 60 on Tuesday, in any order",
         {{"M", "09:00", "10:00"},
          {"L", "08:55", "09:50"},
          {"Lunes", "08:00", "08:55"},
          {"L", "10:20", "11:15"},
          {"L", "09:50", "10:20"}},
         {"11", "12", "13", "14", "21"},
         {"08:00-08:55", "08:55-09:50", "09:50-10:20", "10:20-11:15", "09:00-10:00"},
         {"55", "55", "30", "55", "60"},
         {"55", "30", "60"},
         {"3", "1", "1"},
         {55, 30, 60}},
        {"blank and unknown days are skipped, the rest numbered without gaps",
         {{" ", "08:00", "09:00"},
          {"l", "08:00", "09:00"},
          {"Martes", "08:00", "09:00"},
          {"Miércoles", "09:00", "10:00"},
          {"X", "08:00", "09:00"}},
         {"21", "22", "31"},
         {"08:00-09:00", "09:00-10:00", "08:00-09:00"},
         {"60", "60", "60"},
         {"60"},
         {"3"},
         {60, 0, 0}},
        {"equal slots, zero and negative lengths",
         {{"V", "10:00", "10:00"}, {"V", "12:00", "11:30"}, {"V", "10:00", "10:00"}},
         {"51", "52", "53"},
         {"10:00-10:00", "10:00-10:00", "12:00-11:30"},
         {"0", "0", "-30"},
         {"0", "-30"},
         {"2", "1"},
         {0, -30, 0}},
        {"no slots: the lengths of an earlier run are reset", {}, {}, {}, {}, {}, {}, {0, 0, 0}},
    };
    for (const auto& c : cases) {
        const auto out = build(sessions(c.slots), {ExportarSesiones}, SessionLengths{45, 50, 55});
        EXPECT_EQ(out.column("DIASHORAST", "DIHO"), c.diho) << c.what;
        EXPECT_EQ(out.column("DIASHORAST", "TEXTOHOR"), c.textohor) << c.what;
        EXPECT_EQ(out.column("DIASHORAST", "MINUTOS"), c.minutos) << c.what;
        EXPECT_EQ(out.column("COUNTSES", "DURACION"), c.duracion) << c.what;
        EXPECT_EQ(out.column("COUNTSES", "NSES"), c.nses) << c.what;
        EXPECT_EQ(out.lengths.Duracion1, c.lengths.Duracion1) << c.what;
        EXPECT_EQ(out.lengths.Duracion2, c.lengths.Duracion2) << c.what;
        EXPECT_EQ(out.lengths.Duracion3, c.lengths.Duracion3) << c.what;
    }
}

TEST(TimeSlots, RowFields) {
    std::vector<std::array<const char*, 3>> slots;
    const char* starts[] = {"08:00", "09:00", "10:00", "11:00", "12:00",
                            "13:00", "14:00", "15:00", "16:00", "17:00"};
    for (const char* start : starts) slots.push_back({"X", start, "18:00"});
    slots.push_back({"S", "08:00", "09:00"});
    slots.push_back({"D", "08:00", "09:00"});
    const auto out = build(sessions(slots), {ExportarSesiones});

    const auto diho = out.column("DIASHORAST", "DIHO");
    const auto hora = out.column("DIASHORAST", "HORA");
    const auto dia = out.column("DIASHORAST", "DIA");
    const auto name = out.column("DIASHORAST", "TEXTODIA");
    ASSERT_EQ(diho.size(), 12u);
    EXPECT_EQ(diho[9], "310");
    EXPECT_EQ(hora[9], "10");
    EXPECT_EQ(dia[0], "3");
    EXPECT_EQ(name[0], "Miércoles");
    EXPECT_EQ((Column{dia[10], name[10], diho[10]}), (Column{"6", "Sábado", "61"}));
    EXPECT_EQ((Column{dia[11], name[11], diho[11]}), (Column{"7", "Domingo", "71"}));
    EXPECT_EQ(out.column("DIASHORAST", "HORADESDE")[9], "17:00");
    EXPECT_EQ(out.column("DIASHORAST", "HORAHASTA")[9], "18:00");
    EXPECT_EQ(out.column("DIASHORAST", "MINUTOS")[0], "600");
    EXPECT_EQ(out.column("DIASHORAST", "PLANTILLA"), Column(12, ""));
    EXPECT_EQ(out.column("DIASHORAST", "CODDIHO"), Column(12, "null"));
    EXPECT_EQ(out.column("DIASHORAST", "SESION_ORDEN"), Column(12, "null"));
}

TEST(TimeSlots, TimeNotHHMMStopsTheRun) {
    const struct {
        const char* start;
        const char* end;
        const char* named; // the piece of the message that names the value
    } cases[] = {
        {"8:00", "09:00", "HoraInicio '8:00'"},
        {"08:00", "9:00", "HoraFin '9:00'"},
        {"08:00:00", "09:00", "'08:00:00'"},
        {"ab:cd", "09:00", "'ab:cd'"},
        {"08:00", "", "HoraFin ''"},
        {"08:00", "09:0", "'09:0'"},
    };
    for (const auto& c : cases) {
        const std::string body = sessions({{"L", "08:00", "09:00"}, {"Jueves", c.start, c.end}});
        try {
            build(body, {ExportarSesiones});
            ADD_FAILURE() << c.start << " " << c.end << ": no error";
        } catch (const Error& error) {
            const std::string message = error.what();
            EXPECT_NE(message.find("centro.xml"), std::string::npos) << message;
            EXPECT_NE(message.find("Sesion n.º 2"), std::string::npos) << message;
            EXPECT_NE(message.find("Dia 'Jueves'"), std::string::npos) << message;
            EXPECT_NE(message.find(c.named), std::string::npos) << message;
            EXPECT_FALSE(error.isRefusal());
        }
    }
}

TEST(SubjectLoads, HoursToSessions) {
    const SessionLengths usual{55, 50, 60};
    const struct {
        const char* horas;
        SessionLengths lengths;
        float load;
        const char* pattern;
    } cases[] = {
        {"03,00", usual, 3, "111"},
        {"03,00", {7, 0, 0}, 3, "111"},
        {"00,00", usual, 1, "1"},
        {"02,75", usual, 3, "111"}, // 165 minutes fit 55
        {"02,50", usual, 3, "111"}, // 150 minutes fit 50
        {"01,10", usual, 2, "11"},  // 66 minutes fit none
        {"02,50", {55, 0, 0}, 3, "111"},
        {"02,50", {0, 0, 0}, 3, "111"},
        {"01,10", {0, 0, 0}, 2, "11"},
        {"2", {60, 0, 0}, 2, "11"},
        {"2", {40, 0, 0}, 3, "111"},
        {"2,5", usual, 3, "111"},
        {"2,500", usual, 2.5f, "111"},     // characters 4 and 5 are "00": whole hours
        {"04,05", {81, 0, 0}, 5, "11111"}, // in 32 bits the minutes are a little above 243
        {"04,05", usual, 5, "11111"},
        {"13,00", usual, 13, "1111111111111"},
        {"14,00", usual, 14, "11111111111111"},
        {"15,00", usual, 15, "21111111111111"},
        {"20,00", usual, 20, "71111111111111"},
        {"25,00", usual, 25, "121111111111111"},
        {"-02,00", usual, -2, ""},
        {"00,50", usual, 1, "1"}, // 30 minutes fit none: rounded up
        {"+01,00", usual, 1, "1"},
        {",5", {30, 0, 0}, 1, "1"},
    };
    for (const auto& c : cases) {
        const float load = loadFromHoras(c.horas, c.lengths);
        EXPECT_EQ(load, c.load) << c.horas;
        EXPECT_EQ(sessionPattern(load), c.pattern) << c.horas;
    }
}

TEST(SubjectLoads, HoursThatAreNoNumber) {
    for (const char* horas :
         {"", "2h", "2.5", "1e2", "02,50,00", "--1", "+", ",", " 2", "2 ", "0x10", "inf"}) {
        try {
            loadFromHoras(horas, {55, 50, 60});
            ADD_FAILURE() << "'" << horas << "' accepted";
        } catch (const Error& error) {
            EXPECT_EQ(error.what(), "'" + std::string(horas) + "' no es un valor punto flotante válido");
        }
    }
}

TEST(SubjectLoads, RowsPerGroup) {
    const auto out = build(R"(
  <Grupos>
    <Grupo Codigo="G1" Turno="M" CodigoEnsenanza="ESO" Curso="1" Letra="A">
      <MateriasGrupo>
        <MateriaGrupo Codigo="MAT" Horas="03,00"/>
        <MateriaGrupo Codigo="" Horas="02,00"/>
        <MateriaGrupo Codigo="LEN" Horas="02,50"/>
      </MateriasGrupo>
    </Grupo>
    <Grupo Codigo="G2" Turno="T" CodigoEnsenanza="BACH" Curso="2" Letra="B">
      <MateriasGrupo><MateriaGrupo Codigo="ING" Horas="00,00"/></MateriasGrupo>
    </Grupo>
    <Grupo Codigo="G1" Turno="T" CodigoEnsenanza="ESO" Curso="1" Letra="C">
      <MateriasGrupo><MateriaGrupo Codigo="FIS" Horas="04,00"/></MateriasGrupo>
    </Grupo>
    <Grupo Codigo="G3"/>
  </Grupos>)",
                           {ExportarMateriasGrupo}, SessionLengths{55, 50, 60});
    EXPECT_EQ(out.column("ASIGT", "CASIG"), (Column{"MAT", "LEN", "FIS", "ING", "MAT", "LEN", "FIS"}));
    EXPECT_EQ(out.column("ASIGT", "CGRUP"), (Column{"G1", "G1", "G1", "G2", "G1", "G1", "G1"}));
    EXPECT_EQ(out.column("ASIGT", "ASIG_GESTION"), out.column("ASIGT", "CGRUP"));
    EXPECT_EQ(out.column("ASIGT", "GRUPO"), (Column{"A", "A", "A", "B", "C", "C", "C"}));
    EXPECT_EQ(out.column("ASIGT", "TURNO"), (Column{"M", "M", "M", "T", "T", "T", "T"}));
    EXPECT_EQ(out.column("ASIGT", "NIVEL")[3], "BACH");
    EXPECT_EQ(out.column("ASIGT", "CURSO")[3], "2");
    EXPECT_EQ(out.column("ASIGT", "HORAS"), (Column{"3", "3", "4", "1", "3", "3", "4"}));
    EXPECT_EQ(out.column("ASIGT", "SESIONES"), (Column{"111", "111", "1111", "1", "111", "111", "1111"}));
    EXPECT_EQ(out.column("ASIGT", "CTAREA"), Column(7, "CCM"));
    EXPECT_EQ(out.column("ASIGT", "CPROF"), Column(7, ""));
    EXPECT_EQ(out.column("ASIGT", "CAULA"), Column(7, ""));
    EXPECT_EQ(out.column("ASIGT", "NCONEX"), Column(7, "null"));
    EXPECT_EQ(out.notes.size(), 1u);
    EXPECT_TRUE(out.noted("MateriaGrupo n.º 2 (línea 8, grupo 'G1'): se omite, no tiene código de materia."));
}

TEST(SubjectLoads, WholeHoursKeepTheirFraction) {
    const auto out = build(R"(<Grupos><Grupo Codigo="G">
      <MateriasGrupo><MateriaGrupo Codigo="M" Horas="2,500"/></MateriasGrupo></Grupo></Grupos>)",
                           {ExportarMateriasGrupo}, SessionLengths{55, 50, 60});
    EXPECT_EQ(std::get<double>(out.table("ASIGT").rows.at(0)[8]), 2.5);
}

TEST(SubjectLoads, BadHoursStopsTheRunNamingTheElement) {
    // Also a load with no subject code, in another group, is converted.
    const std::string body = R"(
  <Grupos>
    <Grupo Codigo="G1"><MateriasGrupo><MateriaGrupo Codigo="MAT" Horas="03,00"/></MateriasGrupo></Grupo>
    <Grupo Codigo="G2"><MateriasGrupo>
      <MateriaGrupo Codigo="LEN" Horas="02,00"/>
      <MateriaGrupo Codigo="" Horas="dos"/>
    </MateriasGrupo></Grupo>
  </Grupos>)";
    try {
        build(body, {ExportarMateriasGrupo}, SessionLengths{55, 0, 0});
        FAIL() << "no error";
    } catch (const Error& error) {
        const std::string message = error.what();
        EXPECT_NE(message.find("centro.xml"), std::string::npos) << message;
        EXPECT_NE(message.find("MateriaGrupo n.º 3"), std::string::npos) << message;
        EXPECT_NE(message.find("grupo 'G2'"), std::string::npos) << message;
        EXPECT_NE(message.find("'dos' no es un valor punto flotante válido"), std::string::npos) << message;
    }
}

TEST(Builders, RunOrder) {
    Column names;
    for (const auto& builder : conversionBuilders()) names.push_back(builder.name);
    EXPECT_EQ(names,
              (Column{"ExportarMaterias", "ExportarTiposActividad", "ExportarProfesores", "ExportarAulas",
                      "ExportarGrupos", "ExportarSesiones", "ExportarMateriasGrupo"}));
}

} // namespace
