#include "formats/CentroDocument.h"
#include "formats/Error.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace almadia;
using almadia::testing::dataFile;
using almadia::testing::TempDir;
using almadia::testing::writeText;

namespace {

std::vector<std::string> codes(const std::vector<CentroElement>& elements) {
    std::vector<std::string> out;
    for (const auto& element : elements) out.push_back(element.attr("Codigo"));
    return out;
}

TEST(CentroDocumentEncoding, EveryExportEncodingReadsTheSameValues) {
    for (const char* file : {"utf8-sin-declaracion.xml", "utf8-bom.xml", "utf16le-bom.xml", "iso-8859-1.xml",
                             "windows-1252.xml"}) {
        SCOPED_TRACE(file);
        const auto doc = CentroDocument::open(dataFile(std::string("centro/") + file));
        const auto centro = doc.root();
        EXPECT_EQ(centro.attr("Nombre"), "IES Pe\xF1"
                                         "alara");
        EXPECT_EQ(centro.attr("CursoEscolar"), "2024-2025");
        const auto materias = doc.select(paths::Materia);
        ASSERT_EQ(materias.size(), 1u);
        EXPECT_EQ(materias[0].attr("Denominacion"), "Matem\xE1ticas \xD1"
                                                    "and\xFA \x80 \x8A \x9C \xE7");
        EXPECT_EQ(materias[0].attrUtf8("Denominacion"), "Matemáticas Ñandú € Š œ ç");
        EXPECT_EQ(materias[0].line(), 4 - (file == std::string("utf8-sin-declaracion.xml")));

        const auto bytes = almadia::testing::readBytes(dataFile(std::string("centro/") + file));
        const auto inMemory = CentroDocument::parse(
            std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), file);
        EXPECT_EQ(inMemory.select(paths::Materia).at(0).attr("Denominacion"),
                  materias[0].attr("Denominacion"));
    }
}

struct Refused {
    const char* what;
    std::string content;
    std::vector<std::string> inMessage;
};

TEST(CentroDocumentRefusal, MalformedAndForeignDocuments) {
    const Refused cases[] = {
        {"empty file", "", {"está vacío"}},
        {"only blanks", "  \n\n", {"no es un documento XML válido", "(línea 3)"}},
        {"tag left open", "<Centro>\n<Aulas>\n</Centro>\n", {"no es un documento XML válido", "(línea 3)"}},
        {"attribute without quotes", "<Centro Codigo=1/>", {"no es un documento XML válido", "(línea 1)"}},
        {"two roots", "<Centro/>\n<Centro/>", {"no es un documento XML válido", "(línea 2)"}},
        {"binary junk",
         std::string("\x00\x01\x89PNG\r\n\x1A\n\xFF\xFE\x00", 12),
         {"no es un documento XML válido"}},
        {"latin-1 bytes without declaration",
         "<Centro Nombre=\"Pe\xF1"
         "a\"/>",
         {"no es un documento XML válido", "(línea 1)"}},
        {"undeclared entity", "<Centro Nombre=\"&nada;\"/>", {"no es un documento XML válido", "nada"}},
        {"other root",
         "<?xml version=\"1.0\"?>\n<Instituto Codigo=\"1\"/>",
         {"no es un documento de centro", "\"Instituto\", no \"Centro\""}},
        {"root in other letter case", "<centro/>", {"\"centro\", no \"Centro\""}},
        {"entity expansion bomb",
         "<!DOCTYPE Centro [<!ENTITY a "
         "\"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa\">"
         "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">"
         "<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">"
         "<!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\">"
         "<!ENTITY e \"&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;\">"
         "<!ENTITY f \"&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;\">"
         "<!ENTITY g \"&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;\">]>\n"
         "<Centro Nombre=\"&g;\"/>",
         {"no es un documento XML válido"}},
    };
    TempDir dir;
    // The parser's reports go into the message, never onto the console.
    ::testing::internal::CaptureStderr();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto file = dir / "centro.xml";
        writeText(file, c.content);
        try {
            CentroDocument::open(file);
            ADD_FAILURE() << "opened";
        } catch (const Error& e) {
            EXPECT_TRUE(e.isRefusal());
            const std::string message = e.what();
            EXPECT_NE(message.find("El archivo \"" + file.string() + "\""), std::string::npos) << message;
            for (const auto& part : c.inMessage) EXPECT_NE(message.find(part), std::string::npos) << message;
        }
        // Bytes in memory go the same way.
        try {
            CentroDocument::parse(c.content, "memoria.xml");
            ADD_FAILURE() << "parsed";
        } catch (const Error& e) {
            EXPECT_TRUE(e.isRefusal());
            EXPECT_NE(std::string(e.what()).find("\"memoria.xml\""), std::string::npos) << e.what();
        }
    }
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}

TEST(CentroDocumentRefusal, FilesThatCannotBeRead) {
    TempDir dir;
    const struct {
        const char* what;
        std::filesystem::path file;
        const char* inMessage;
    } cases[] = {
        {"missing file", dir / "no-existe.xml", "no existe"},
        {"a folder", dir.path(), "es una carpeta"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        try {
            CentroDocument::open(c.file);
            ADD_FAILURE() << "opened";
        } catch (const Error& e) {
            EXPECT_TRUE(e.isRefusal());
            const std::string message = e.what();
            EXPECT_NE(message.find("\"" + c.file.string() + "\""), std::string::npos) << message;
            EXPECT_NE(message.find(c.inMessage), std::string::npos) << message;
        }
    }
}

TEST(CentroDocumentEntities, ExternalEntitiesAreNeverRead) {
    TempDir dir;
    writeText(dir / "secreto.txt", "FILTRADO");
    const std::string entity = "<!ENTITY secreto SYSTEM \"" + (dir / "secreto.txt").string() + "\">";

    // Referenced in content: refused, since what the entity holds would be left out unread.
    writeText(dir / "contenido.xml",
              "<!DOCTYPE Centro [" + entity +
                  "<!ENTITY interna \"Pe&#xF1;alara\">]>\n"
                  "<Centro Codigo=\"C1\" Nombre=\"IES &interna; &amp; &#x20AC;\">&secreto;\n"
                  "<Aulas><Aula Codigo=\"A1\">&secreto;</Aula></Aulas></Centro>");
    try {
        CentroDocument::open(dir / "contenido.xml");
        ADD_FAILURE() << "opened";
    } catch (const Error& e) {
        EXPECT_TRUE(e.isRefusal());
        EXPECT_NE(std::string(e.what()).find("contenido.xml"), std::string::npos) << e.what();
        EXPECT_EQ(std::string(e.what()).find("FILTRADO"), std::string::npos) << e.what();
    }

    // Internal entities are expanded where they are used.
    writeText(dir / "interna.xml", "<!DOCTYPE Centro [<!ENTITY interna \"Pe&#xF1;alara\">]>\n"
                                   "<Centro Codigo=\"C1\" Nombre=\"IES &interna; &amp; &#x20AC;\">\n"
                                   "<Aulas><Aula Codigo=\"A1\"/></Aulas></Centro>");
    const auto doc = CentroDocument::open(dir / "interna.xml");
    EXPECT_EQ(doc.root().attr("Nombre"), "IES Pe\xF1"
                                         "alara & \x80");
    EXPECT_EQ(codes(doc.select(paths::Aula)), std::vector<std::string>{"A1"});

    // Referenced in an attribute: not well-formed, and the message keeps the content out.
    writeText(dir / "atributo.xml", "<!DOCTYPE Centro [" + entity + "]>\n<Centro Nombre=\"&secreto;\"/>");
    try {
        CentroDocument::open(dir / "atributo.xml");
        ADD_FAILURE() << "opened";
    } catch (const Error& e) {
        EXPECT_TRUE(e.isRefusal());
        EXPECT_EQ(std::string(e.what()).find("FILTRADO"), std::string::npos) << e.what();
    }
}

class CentroStructure : public ::testing::Test {
protected:
    CentroDocument doc = CentroDocument::open(dataFile("centro/estructura.xml"));
};

TEST_F(CentroStructure, AttributesAreTrimmedExactAndMayBeMissing) {
    EXPECT_EQ(doc.root().attr("Codigo"), "28001234");
    EXPECT_EQ(doc.root().attrUtf8("Codigo"), "28001234");
    // Absent header attributes read as empty text.
    EXPECT_EQ(doc.root().attr("Version"), "");

    const auto sesiones = doc.select(paths::Sesion);
    ASSERT_EQ(sesiones.size(), 1u);
    EXPECT_EQ(sesiones[0].attr("Dia"), "");
    EXPECT_EQ(sesiones[0].attr("HoraInicio"), "08:00");

    const auto aulas = doc.select(paths::Aula);
    ASSERT_EQ(aulas.size(), 2u);
    EXPECT_EQ(aulas[0].attr("Codigo"), "A1");
    EXPECT_EQ(aulas[0].attr("codigo"), "minuscula");
    EXPECT_EQ(aulas[0].attr("CODIGO"), "");
    EXPECT_EQ(aulas[1].attr("Denominacion"), "");
    EXPECT_EQ(aulas[0].line(), 8);
}

TEST_F(CentroStructure, ListsInDocumentOrderWhateverTheirLengthAndPlace) {
    // Sections in any order, repeated, with foreign elements between them; an Aula under a
    // foreign element is not at the path.
    EXPECT_EQ(codes(doc.select(paths::Aula)), (std::vector<std::string>{"A1", "A2"}));
    EXPECT_EQ(doc.select(paths::Sesion).size(), 1u);
    EXPECT_EQ(codes(doc.select(paths::Grupo)), (std::vector<std::string>{"1A", "1A"}));
    EXPECT_EQ(codes(doc.select(paths::MateriaGrupo)), (std::vector<std::string>{"MAT", "LEN", "ING"}));
    EXPECT_TRUE(doc.select(paths::Materia).empty());
    EXPECT_TRUE(doc.select(paths::Ensenanza).empty());
    EXPECT_EQ(doc.select(paths::Centro).size(), 1u);
    EXPECT_TRUE(doc.select("/Aulas/Aula").empty());
    EXPECT_TRUE(doc.select("Centro/Aulas").empty());
}

TEST_F(CentroStructure, SubjectLoadsKnowTheirGroup) {
    const auto grupos = doc.select(paths::Grupo);
    const auto cargas = doc.select(paths::MateriaGrupo);
    ASSERT_EQ(cargas.size(), 3u);
    EXPECT_EQ(cargas[0].grandparent().node(), grupos[0].node());
    EXPECT_EQ(cargas[1].grandparent().node(), grupos[0].node());
    EXPECT_EQ(cargas[2].grandparent().node(), grupos[1].node());
    // Both groups carry the same code, so every load matches both by code.
    for (const auto& carga : cargas) EXPECT_EQ(carga.grandparent().attr("Codigo"), "1A");
    EXPECT_EQ(cargas[2].grandparent().attr("Denominacion"), "Primero A bis");
    EXPECT_FALSE(doc.root().grandparent());
}

TEST_F(CentroStructure, CodeLookupFirstMatchExactCase) {
    const CodeLookup departamentos(doc.select(paths::Departamento));
    EXPECT_EQ(departamentos.find("MAT"), "Matem\xE1ticas");
    EXPECT_EQ(departamentos.find("mat"), "min\xFAsculas");
    EXPECT_EQ(departamentos.find("Mat"), std::nullopt);
    EXPECT_EQ(departamentos.find("MAT "), std::nullopt);
    EXPECT_EQ(departamentos.find(""), std::nullopt);

    const CodeLookup aulas(doc.select(paths::Aula));
    EXPECT_EQ(aulas.find("A1"), "Aula uno");
    EXPECT_EQ(aulas.find("A2"), "");
    EXPECT_EQ(CodeLookup({}).find("A1"), std::nullopt);
}

} // namespace
