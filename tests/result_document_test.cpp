#include "import/ResultDocument.h"

#include "formats/Error.h"
#include "import/TimetableExportRun.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <cstdlib>
#include <memory>
#include <unistd.h>

namespace almadia {
namespace {

using testing::TempDir;
using Attributes = std::vector<std::pair<std::string, std::string>>;

struct FreeDoc {
    void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
using XmlDoc = std::unique_ptr<xmlDoc, FreeDoc>;

XmlDoc readBack(const std::filesystem::path& file) {
    XmlDoc doc(xmlReadFile(file.c_str(), nullptr, XML_PARSE_NONET));
    if (!doc) throw std::runtime_error("not well-formed: " + file.string());
    return doc;
}

std::string str(const xmlChar* s) {
    return s ? reinterpret_cast<const char*>(s) : "";
}

Attributes attributes(const xmlNode* element) {
    Attributes out;
    for (const xmlAttr* a = element->properties; a; a = a->next) {
        xmlChar* value = xmlNodeGetContent(reinterpret_cast<const xmlNode*>(a));
        out.emplace_back(str(a->name), str(value));
        xmlFree(value);
    }
    return out;
}

// The top-level nodes, one line each: "comment:text", "pi:name text", "dtd:name", "element:name".
std::vector<std::string> topLevel(const xmlDoc* doc) {
    std::vector<std::string> out;
    for (const xmlNode* n = doc->children; n; n = n->next) {
        switch (n->type) {
        case XML_COMMENT_NODE:
            out.push_back("comment:" + str(n->content));
            break;
        case XML_PI_NODE:
            out.push_back("pi:" + str(n->name) + " " + str(n->content));
            break;
        case XML_DTD_NODE:
            out.push_back("dtd:" + str(n->name));
            break;
        case XML_ELEMENT_NODE:
            out.push_back("element:" + str(n->name));
            break;
        default:
            out.push_back("other:" + std::to_string(n->type));
        }
    }
    return out;
}

std::vector<const xmlNode*> children(const xmlNode* parent) {
    std::vector<const xmlNode*> out;
    for (const xmlNode* n = parent->children; n; n = n->next) out.push_back(n);
    return out;
}

const char* const Export = R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE Centro>
<!-- exportado por el sistema de gestión -->
<?gestion version="7"?>
<Centro xmlns:g="urn:gestion" Codigo="  28001234 " Nombre=" IES Peñalara &amp; Ω " CursoEscolar="2024-2025"
        FechaExportacion="01/01/2000 00:00:00" Version=" 1.0" Otro="x">
  <Materias><Materia Codigo="MAT" Denominacion="Matemáticas"/></Materias>
  texto suelto
</Centro>
<!-- fin -->
<?despues del-raiz?>
)";

TEST(ResultDocument, ReplacesTheRootAndKeepsEverythingElseBeforeIt) {
    TempDir dir;
    auto doc = CentroDocument::parse(Export, "centro.xml");
    auto result = ResultDocument::start(doc, "11/12/2026 10:20:30");
    // Values as the tables hold them (Windows-1252): "Música" and the euro sign 0x80.
    result.addActivity({"CCM", "PRO1", "1A", "M\xFAsica", "AULA-001", "L", "08:00", "08:55"}, Pass::First);
    result.addActivity({"GUA", "", "", "", "", "", "09:00", "09:55"}, Pass::Second);
    result.addActivity({"A&B<\"c\">", "\x80", "tab\there", "ctl\x01", "x", "V", "1", "2"}, Pass::Second);
    result.save(dir / "ResultadoHoravelcentro.xml");

    auto back = readBack(dir / "ResultadoHoravelcentro.xml");
    EXPECT_EQ(topLevel(back.get()),
              (std::vector<std::string>{"dtd:Centro", "comment: exportado por el sistema de gestión ",
                                        "pi:gestion version=\"7\"", "comment: fin ", "pi:despues del-raiz",
                                        "element:Centro"}));

    const xmlNode* root = xmlDocGetRootElement(back.get());
    EXPECT_EQ(root->ns, nullptr);
    EXPECT_EQ(root->nsDef, nullptr);
    EXPECT_EQ(attributes(root), (Attributes{{"Codigo", "28001234"},
                                            {"Nombre", "IES Peñalara & Ω"},
                                            {"CursoEscolar", "2024-2025"},
                                            {"FechaExportacion", "11/12/2026 10:20:30"},
                                            {"Version", "1.0"}}));

    auto rootChildren = children(root);
    ASSERT_EQ(rootChildren.size(), 1u);
    EXPECT_EQ(str(rootChildren[0]->name), "horario");
    EXPECT_EQ(rootChildren[0]->properties, nullptr);

    auto activities = children(rootChildren[0]);
    ASSERT_EQ(activities.size(), 3u);
    for (const xmlNode* a : activities) {
        EXPECT_EQ(a->type, XML_ELEMENT_NODE);
        EXPECT_EQ(str(a->name), "actividad");
        EXPECT_EQ(a->children, nullptr);
    }
    EXPECT_EQ(attributes(activities[0]), (Attributes{{"tipo", "CCM"},
                                                     {"codigoProfesor", "PRO1"},
                                                     {"codigoGrupo", "1A"},
                                                     {"codigoMateria", "Música"},
                                                     {"codigoAula", "AULA-001"},
                                                     {"dia", "L"},
                                                     {"HoraInicio", "08:00"},
                                                     {"HoraFin", "08:55"}}));
    EXPECT_EQ(attributes(activities[1]), (Attributes{{"tipo", "GUA"},
                                                     {"codigoProfesor", ""},
                                                     {"codigoGrupo", ""},
                                                     {"codigoMateria", ""},
                                                     {"codigAula", ""},
                                                     {"dia", ""},
                                                     {"HoraInicio", "09:00"},
                                                     {"HoraFin", "09:55"}}));
    // Markup characters survive; a control character XML cannot hold does not break the file.
    EXPECT_EQ(attributes(activities[2]), (Attributes{{"tipo", "A&B<\"c\">"},
                                                     {"codigoProfesor", "€"},
                                                     {"codigoGrupo", "tab\there"},
                                                     {"codigoMateria", "ctl?"},
                                                     {"codigAula", "x"},
                                                     {"dia", "V"},
                                                     {"HoraInicio", "1"},
                                                     {"HoraFin", "2"}}));
}

TEST(ResultDocument, WithoutActivitiesHorarioIsEmpty) {
    TempDir dir;
    auto doc = CentroDocument::parse(
        "<Centro Codigo='1' Nombre='N' CursoEscolar='C' Version='V'><Aulas/></Centro>", "c.xml");
    ResultDocument::start(doc, "f").save(dir / "r.xml");
    EXPECT_EQ(testing::readText(dir / "r.xml"), "<?xml version=\"1.0\"?>\n<Centro Codigo=\"1\" Nombre=\"N\" "
                                                "CursoEscolar=\"C\" FechaExportacion=\"f\" "
                                                "Version=\"V\"><horario/></Centro>\n");
}

// The result is saved in the encoding the export declared, so the accents of the header arrive
// intact whatever it was; a value the encoding lacks travels as a character reference.
TEST(ResultDocument, KeepsTheDeclaredEncoding) {
    struct Case {
        std::string declaration;    // "" for none
        std::string nombre;         // bytes of the Nombre attribute in that encoding
        std::string nombreInResult; // the bytes expected in the saved file
    };
    const std::vector<Case> cases = {
        {"ISO-8859-1",
         "IES Pe\xF1"
         "alara \xC1vila",
         "IES Pe\xF1"
         "alara \xC1vila"},
        {"windows-1252",
         "IES Pe\xF1"
         "alara \x80",
         "IES Pe\xF1"
         "alara \x80"},
        {"UTF-8", "IES Peñalara Ávila", "IES Peñalara Ávila"},
        {"", "IES Peñalara Ávila", "IES Peñalara Ávila"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.declaration);
        TempDir dir;
        const std::string decl =
            c.declaration.empty() ? "" : "<?xml version=\"1.0\" encoding=\"" + c.declaration + "\"?>\n";
        auto doc = CentroDocument::parse(decl + "<Centro Codigo=\"1\" Nombre=\"" + c.nombre +
                                             "\" CursoEscolar=\"C\" Version=\"V\"/>",
                                         "c.xml");
        const std::string nombreUtf8 = doc.root().attrUtf8("Nombre");
        auto result = ResultDocument::start(doc, "f");
        result.addActivity({"M\xFAs", "\x80", "", "", "", "", "", ""}, Pass::First);
        result.save(dir / "r.xml");

        const std::string bytes = testing::readText(dir / "r.xml");
        EXPECT_NE(bytes.find("Nombre=\"" + c.nombreInResult + "\""), std::string::npos) << bytes;
        auto back = readBack(dir / "r.xml");
        EXPECT_EQ(str(back->encoding), c.declaration);
        const xmlNode* root = xmlDocGetRootElement(back.get());
        EXPECT_EQ(attributes(root)[1].second, nombreUtf8);
        EXPECT_EQ(attributes(root->children->children)[0].second, "Mús");
        EXPECT_EQ(attributes(root->children->children)[1].second, "€");
    }
}

TEST(ResultDocument, ReplacesAnEarlierResultAndLeavesNoTemporaryFile) {
    TempDir dir;
    testing::writeText(dir / "r.xml", "old");
    auto doc = CentroDocument::parse("<Centro Codigo='1'/>", "c.xml");
    ResultDocument::start(doc, "f").save(dir / "r.xml");
    EXPECT_NE(testing::readText(dir / "r.xml").find("<horario/>"), std::string::npos);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

// A folder in the way of the result's name: the rename fails after the file is written.
TEST(ResultDocument, AFolderInTheWayIsAnErrorNamingTheFile) {
    TempDir dir;
    auto doc = CentroDocument::parse("<Centro Codigo='1'/>", "c.xml");
    auto result = ResultDocument::start(doc, "f");
    std::filesystem::create_directory(dir / "ResultadoHoravelc.xml");
    try {
        result.save(dir / "ResultadoHoravelc.xml");
        FAIL() << "saved over a folder";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("\"" + (dir / "ResultadoHoravelc.xml").string() + "\""),
                  std::string::npos)
            << e.what();
        EXPECT_FALSE(e.isRefusal());
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(ResultDocument, AReadOnlyFolderIsAnErrorNamingTheFile) {
    if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind the superuser";
    TempDir dir;
    auto doc = CentroDocument::parse("<Centro Codigo='1'/>", "c.xml");
    auto result = ResultDocument::start(doc, "f");
    std::filesystem::create_directory(dir / "ro");
    std::filesystem::permissions(dir / "ro",
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    EXPECT_THROW(
        {
            try {
                result.save(dir / "ro" / "r.xml");
            } catch (const Error& e) {
                EXPECT_NE(std::string(e.what()).find((dir / "ro" / "r.xml").string()), std::string::npos);
                throw;
            }
        },
        Error);
    EXPECT_TRUE(std::filesystem::is_empty(dir / "ro"));
}

TEST(ResultDocument, ResultFileName) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"/centro/horarios.xml", "/centro/ResultadoHoravelhorarios.xml"},
        {"/centro/horarios", "/centro/ResultadoHoravelhorarios"},
        {"/centro/ResultadoHoravelhorarios.xml", "/centro/ResultadoHoravelResultadoHoravelhorarios.xml"},
        {"horarios.XML", "ResultadoHoravelhorarios.XML"},
    };
    for (const auto& [source, result] : cases) EXPECT_EQ(resultFileName(source).string(), result) << source;
}

class RegionalDateTime : public ::testing::Test {
protected:
    void SetUp() override {
        const char* tz = std::getenv("TZ");
        savedTz_ = tz ? std::optional<std::string>(tz) : std::nullopt;
        setenv("TZ", "UTC", 1);
        tzset();
    }
    void TearDown() override {
        if (savedTz_)
            setenv("TZ", savedTz_->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    static constexpr std::time_t moment = 1796984430; // 2026-12-11 10:20:30 UTC

private:
    std::optional<std::string> savedTz_;
};

TEST_F(RegionalDateTime, WithoutSettingsTheSpanishForm) {
    // Without regional settings, or with settings that are not installed, the Spanish form.
    for (const char* name : {"C", "POSIX", "C.UTF-8", "xx_XX.UTF-8"})
        EXPECT_EQ(regionalDateTime(moment, name), "11/12/2026 10:20:30") << name;
}

TEST_F(RegionalDateTime, SpanishSettings) {
    locale_t es = newlocale(LC_ALL_MASK, "es_ES.UTF-8", static_cast<locale_t>(0));
    if (!es) GTEST_SKIP() << "es_ES.UTF-8 is not installed";
    freelocale(es);
    // The locale's short date has a two-digit year; the result carries four.
    EXPECT_EQ(regionalDateTime(moment, "es_ES.UTF-8"), "11/12/2026 10:20:30");
}

TEST_F(RegionalDateTime, UnitedStatesSettings) {
    locale_t us = newlocale(LC_ALL_MASK, "en_US.UTF-8", static_cast<locale_t>(0));
    if (!us) GTEST_SKIP() << "en_US.UTF-8 is not installed";
    freelocale(us);
    EXPECT_EQ(regionalDateTime(moment, "en_US.UTF-8"), "12/11/2026 10:20:30 AM");
}

} // namespace
} // namespace almadia
