#include "import/ResultDocument.h"

#include "formats/Error.h"
#include "formats/Text.h"

#include <libxml/encoding.h>
#include <libxml/tree.h>
#include <libxml/xmlIO.h>
#include <libxml/xmlwriter.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <iconv.h>
#include <langinfo.h>
#include <locale.h>
#include <random>
#include <unistd.h>

namespace almadia {

namespace {

const xmlChar* xml(const char* s) {
    return reinterpret_cast<const xmlChar*>(s);
}

// The locale's short date with the year in four digits: "%d/%m/%y" becomes "%d/%m/%Y".
std::string fourDigitYear(std::string format) {
    for (std::size_t i = 0; i + 1 < format.size(); ++i) {
        if (format[i] != '%') continue;
        if (format[i + 1] == 'y') {
            format[i + 1] = 'Y';
        } else if (format[i + 1] == 'D') {
            format.replace(i, 2, "%m/%d/%Y");
            i += 6;
        }
        ++i;
    }
    return format;
}

std::string toUtf8(const std::string& bytes, const char* codeset) {
    bool ascii = true;
    for (unsigned char c : bytes) ascii = ascii && c < 0x80;
    if (ascii || std::strcmp(codeset, "UTF-8") == 0) return bytes;
    iconv_t cd = iconv_open("UTF-8", codeset);
    if (cd == reinterpret_cast<iconv_t>(-1)) return text::cp1252ToUtf8(bytes);
    std::string out(bytes.size() * 4, '\0');
    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    char* put = out.data();
    std::size_t outLeft = out.size();
    const bool ok = iconv(cd, &in, &inLeft, &put, &outLeft) != static_cast<std::size_t>(-1);
    iconv_close(cd);
    if (!ok) return text::cp1252ToUtf8(bytes);
    out.resize(out.size() - outLeft);
    return out;
}

// An attribute value as it goes into the file: escaped, and with the control characters that XML
// cannot hold replaced by '?'.
std::string escapedAttribute(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (char c : utf8) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\t':
            out += "&#9;";
            break;
        case '\n':
            out += "&#10;";
            break;
        case '\r':
            out += "&#13;";
            break;
        default:
            out += static_cast<unsigned char>(c) < 0x20 ? '?' : c;
        }
    }
    return out;
}

bool isUtf8Name(const char* encoding) {
    return xmlStrcasecmp(xml(encoding), xml("UTF-8")) == 0 || xmlStrcasecmp(xml(encoding), xml("UTF8")) == 0;
}

// The temporary file beside `file`, created new (never an existing file).
int createTemporary(const std::filesystem::path& file, std::filesystem::path& temporary) {
    std::random_device random;
    int fd = -1;
    for (int attempt = 0; attempt < 20 && fd < 0; ++attempt) {
        temporary =
            file.parent_path() / ("." + file.filename().string() + "." + std::to_string(random()) + ".tmp");
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    return fd;
}

} // namespace

std::string regionalDateTime(std::time_t moment, const std::string& localeName) {
    std::string dateFormat = "%d/%m/%Y";
    std::string timeFormat = "%H:%M:%S";
    std::string codeset = "UTF-8";
    // The name the settings resolve to; the C locale means that no regional settings were chosen.
    std::string name = localeName;
    for (const char* variable : {"LC_ALL", "LC_TIME", "LANG"}) {
        if (!name.empty()) break;
        if (const char* value = std::getenv(variable)) name = value;
    }
    const bool unset = name.empty() || name == "C" || name == "POSIX" || name.rfind("C.", 0) == 0;
    locale_t loc = unset ? static_cast<locale_t>(0)
                         : newlocale(LC_TIME_MASK | LC_CTYPE_MASK, name.c_str(), static_cast<locale_t>(0));
    if (loc) {
        if (const char* d = nl_langinfo_l(D_FMT, loc); d && *d) dateFormat = fourDigitYear(d);
        if (const char* t = nl_langinfo_l(T_FMT, loc); t && *t) timeFormat = t;
        if (const char* c = nl_langinfo_l(CODESET, loc); c && *c) codeset = c;
    } else {
        loc = newlocale(LC_TIME_MASK | LC_CTYPE_MASK, "C", static_cast<locale_t>(0));
    }

    std::tm local{};
    localtime_r(&moment, &local);
    auto format = [&](const std::string& pattern) {
        char buffer[256];
        const std::size_t n = loc ? strftime_l(buffer, sizeof buffer, pattern.c_str(), &local, loc)
                                  : std::strftime(buffer, sizeof buffer, pattern.c_str(), &local);
        return std::string(buffer, n);
    };
    // The date first, the time after it.
    std::string date = format(dateFormat);
    std::string time = format(timeFormat);
    if (loc) freelocale(loc);
    return toUtf8(date, codeset.c_str()) + " " + toUtf8(time, codeset.c_str());
}

ResultDocument::ResultDocument(CentroDocument& document, _xmlNode* root)
    : document_(&document), root_(root) {}

ResultDocument ResultDocument::start(CentroDocument& document, const std::string& fechaExportacion) {
    xmlDocPtr doc = document.xml();
    xmlNodePtr old = doc ? xmlDocGetRootElement(doc) : nullptr;
    if (!old || !xmlStrEqual(old->name, xml("Centro")))
        throw Error("El archivo \"" + document.name() +
                        "\" no es un documento de centro: su elemento raíz no es Centro.",
                    ErrorKind::Refusal);

    const CentroElement header(old);
    const std::string codigo = header.attrUtf8("Codigo");
    const std::string nombre = header.attrUtf8("Nombre");
    const std::string curso = header.attrUtf8("CursoEscolar");
    const std::string version = header.attrUtf8("Version");

    xmlUnlinkNode(old);
    xmlFreeNode(old);

    xmlNodePtr root = xmlNewDocNode(doc, nullptr, xml("Centro"), nullptr);
    xmlNewProp(root, xml("Codigo"), xml(codigo.c_str()));
    xmlNewProp(root, xml("Nombre"), xml(nombre.c_str()));
    xmlNewProp(root, xml("CursoEscolar"), xml(curso.c_str()));
    xmlNewProp(root, xml("FechaExportacion"), xml(fechaExportacion.c_str()));
    xmlNewProp(root, xml("Version"), xml(version.c_str()));
    xmlAddChild(reinterpret_cast<xmlNodePtr>(doc), root);
    xmlAddChild(root, xmlNewDocNode(doc, nullptr, xml("horario"), nullptr));
    return ResultDocument(document, root);
}

std::uint32_t ResultDocument::intern(std::string_view cp1252) {
    if (auto found = ids_.find(cp1252); found != ids_.end()) return found->second;
    const auto id = static_cast<std::uint32_t>(pool_.size());
    pool_.push_back(escapedAttribute(text::cp1252ToUtf8(cp1252)));
    ids_.emplace(std::string(cp1252), id);
    return id;
}

void ResultDocument::addActivity(const ActivityValues& values, Pass pass) {
    Activity activity{{}, pass};
    for (std::size_t i = 0; i < values.size(); ++i) activity.values[i] = intern(values[i]);
    activities_.push_back(activity);
}

void ResultDocument::save(const std::filesystem::path& file) const {
    const std::string shown = file.string();
    auto fail = [&](const std::string& reason) -> Error {
        return Error("No se ha podido guardar el archivo de resultado \"" + shown + "\": " + reason + ".");
    };

    xmlDocPtr doc = document_->xml();
    const char* encoding = doc->encoding ? reinterpret_cast<const char*>(doc->encoding) : nullptr;
    if (encoding && !isUtf8Name(encoding)) {
        xmlCharEncodingHandlerPtr handler = xmlFindCharEncodingHandler(encoding);
        if (!handler) throw fail(std::string("la codificación ") + encoding + " no está disponible");
        xmlCharEncCloseFunc(handler);
    }

    std::filesystem::path temporary;
    const int fd = createTemporary(file, temporary);
    if (fd < 0) throw fail(systemReason(errno));

    xmlOutputBufferPtr out = xmlOutputBufferCreateFd(fd, nullptr);
    xmlTextWriterPtr writer = out ? xmlNewTextWriter(out) : nullptr;
    if (!writer) {
        if (out) xmlOutputBufferClose(out);
        ::close(fd);
        std::filesystem::remove(temporary);
        throw fail("no hay memoria suficiente");
    }

    errno = 0;
    bool ok = true;
    auto check = [&](int rc) { ok = ok && rc >= 0 && out->error == 0; };

    const char* standalone = doc->standalone == 1 ? "yes" : doc->standalone == 0 ? "no" : nullptr;
    check(xmlTextWriterStartDocument(
        writer, doc->version ? reinterpret_cast<const char*>(doc->version) : "1.0", encoding, standalone));

    // What lay outside the export's root, in its order; the new root is the last top-level node.
    for (xmlNodePtr node = doc->children; ok && node; node = node->next) {
        if (node == root_) continue;
        xmlBufferPtr buffer = xmlBufferCreate();
        xmlNodeDump(buffer, doc, node, 0, 0);
        check(xmlTextWriterWriteRaw(writer, xmlBufferContent(buffer)));
        check(xmlTextWriterWriteRaw(writer, xml("\n")));
        xmlBufferFree(buffer);
    }

    // The root and the activities are written as markup of our own (values escaped above), which
    // the writer passes through the encoder: a character the encoding lacks becomes a reference.
    std::string chunk = "<Centro";
    for (xmlAttrPtr attr = root_->properties; attr; attr = attr->next) {
        xmlChar* value = xmlNodeGetContent(reinterpret_cast<xmlNodePtr>(attr));
        chunk += " " + std::string(reinterpret_cast<const char*>(attr->name)) + "=\"" +
                 escapedAttribute(value ? reinterpret_cast<const char*>(value) : "") + "\"";
        xmlFree(value);
    }
    chunk += activities_.empty() ? "><horario/>" : "><horario>";

    static constexpr std::array<const char*, 8> first = {"<actividad tipo=\"", "\" codigoProfesor=\"",
                                                         "\" codigoGrupo=\"",  "\" codigoMateria=\"",
                                                         "\" codigoAula=\"",   "\" dia=\"",
                                                         "\" HoraInicio=\"",   "\" HoraFin=\""};
    for (std::size_t i = 0; ok && i < activities_.size(); ++i) {
        const Activity& activity = activities_[i];
        for (std::size_t v = 0; v < 8; ++v) {
            chunk += (v == 4 && activity.pass == Pass::Second) ? "\" codigAula=\"" : first[v];
            chunk += pool_[activity.values[v]];
        }
        chunk += "\"/>";
        if (chunk.size() >= 1 << 16) {
            check(xmlTextWriterWriteRaw(writer, xml(chunk.c_str())));
            chunk.clear();
        }
    }
    chunk += activities_.empty() ? "</Centro>" : "</horario></Centro>";
    check(xmlTextWriterWriteRaw(writer, xml(chunk.c_str())));
    check(xmlTextWriterEndDocument(writer));
    check(xmlTextWriterFlush(writer));
    xmlFreeTextWriter(writer);

    ok = ok && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (!ok) {
        const int cause = errno;
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        throw fail(cause ? systemReason(cause) : "error de escritura");
    }

    std::error_code error;
    std::filesystem::rename(temporary, file, error);
    if (error) {
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        throw fail(error.message());
    }
}

} // namespace almadia
