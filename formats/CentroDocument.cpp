#include "formats/CentroDocument.h"

#include "formats/Error.h"
#include "formats/Text.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <system_error>

namespace almadia {

namespace {

// Safe options: no network; entities stay references (no NOENT), no external DTD, and the
// parser's size and expansion limits stay on (no HUGE). COMPACT keeps short texts inside
// their nodes; BIG_LINES keeps line numbers right past line 65535.
constexpr int parseOptions = XML_PARSE_NONET | XML_PARSE_COMPACT | XML_PARSE_BIG_LINES;

void initLibxml() {
    static std::once_flag once;
    std::call_once(once, [] { xmlInitParser(); });
}

// The first error the parser reports, kept for the message. libxml2 would print its
// reports on stderr; while a parse runs this thread's handlers take them instead.
struct ErrorCapture {
    bool seen = false;
    std::string reason;
    int line = 0;

    static void structured(void* data, xmlErrorPtr error) {
        auto* self = static_cast<ErrorCapture*>(data);
        if (self == nullptr || error == nullptr || self->seen || error->level < XML_ERR_ERROR) return;
        self->seen = true;
        self->reason = error->message != nullptr ? error->message : "";
        for (char& c : self->reason)
            if (c == '\n' || c == '\r') c = ' ';
        while (!self->reason.empty() && (self->reason.back() == '\n' || self->reason.back() == ' '))
            self->reason.pop_back();
        self->line = error->line;
    }
    static void generic(void*, const char*, ...) {}
};

// Installs the capture as this thread's error handlers (libxml2 keeps them per thread)
// and puts the previous ones back on the way out.
class ErrorHandlers {
public:
    explicit ErrorHandlers(ErrorCapture& capture)
        : oldStructured_(xmlStructuredError), oldStructuredContext_(xmlStructuredErrorContext),
          oldGeneric_(xmlGenericError), oldGenericContext_(xmlGenericErrorContext) {
        xmlSetStructuredErrorFunc(&capture, &ErrorCapture::structured);
        xmlSetGenericErrorFunc(nullptr, &ErrorCapture::generic);
    }
    ~ErrorHandlers() {
        xmlSetStructuredErrorFunc(oldStructuredContext_, oldStructured_);
        xmlSetGenericErrorFunc(oldGenericContext_, oldGeneric_);
    }
    ErrorHandlers(const ErrorHandlers&) = delete;
    ErrorHandlers& operator=(const ErrorHandlers&) = delete;

private:
    xmlStructuredErrorFunc oldStructured_;
    void* oldStructuredContext_;
    xmlGenericErrorFunc oldGeneric_;
    void* oldGenericContext_;
};

struct ContextFree {
    void operator()(xmlParserCtxt* ctxt) const { xmlFreeParserCtxt(ctxt); }
};
using Context = std::unique_ptr<xmlParserCtxt, ContextFree>;

[[noreturn]] void refuse(const std::string& message) {
    throw Error(message, ErrorKind::Refusal);
}

std::string inQuotes(const std::string& name) {
    return "\"" + name + "\"";
}

// Parses with one of libxml2's read functions and turns every way of failing into a refusal.
template <typename Read> CentroDocument parseWith(const std::string& name, Read read) {
    initLibxml();
    ErrorCapture capture;
    xmlDocPtr doc = nullptr;
    {
        ErrorHandlers handlers(capture);
        Context ctxt(xmlNewParserCtxt());
        if (!ctxt) throw Error("No hay memoria para leer el archivo " + inQuotes(name) + ".");
        doc = read(ctxt.get());
        if (doc != nullptr && !ctxt->wellFormed) {
            xmlFreeDoc(doc);
            doc = nullptr;
        }
        if (doc == nullptr && !capture.seen) {
            if (xmlErrorPtr last = xmlCtxtGetLastError(ctxt.get()); last != nullptr)
                ErrorCapture::structured(&capture, last);
        }
    }
    if (doc == nullptr) {
        std::string reason = capture.seen ? capture.reason : "error de análisis";
        std::string message = "El archivo " + inQuotes(name) + " no es un documento XML válido: " + reason;
        if (capture.line > 0) message += " (línea " + std::to_string(capture.line) + ")";
        refuse(message + ".");
    }
    CentroDocument result = CentroDocument::adopt(doc, name);
    // The parser leaves external entities unread; a document that relies on one would lose the
    // part that lives elsewhere (or point at a file it has no business with).
    if (const xmlDtd* dtd = doc->intSubset; dtd != nullptr) {
        for (const xmlNode* node = dtd->children; node != nullptr; node = node->next) {
            if (node->type != XML_ENTITY_DECL) continue;
            const auto* entity = reinterpret_cast<const xmlEntity*>(node);
            if (entity->etype == XML_EXTERNAL_GENERAL_PARSED_ENTITY ||
                entity->etype == XML_EXTERNAL_GENERAL_UNPARSED_ENTITY ||
                entity->etype == XML_EXTERNAL_PARAMETER_ENTITY)
                refuse("El archivo " + inQuotes(name) + " no se puede usar: declara la entidad externa " +
                       inQuotes(reinterpret_cast<const char*>(entity->name)) +
                       ", que remite a otro archivo.");
        }
    }
    const xmlNode* root = xmlDocGetRootElement(doc);
    if (root == nullptr) refuse("El archivo " + inQuotes(name) + " no tiene elemento raíz.");
    std::string rootName;
    if (root->ns != nullptr && root->ns->prefix != nullptr)
        rootName = reinterpret_cast<const char*>(root->ns->prefix) + std::string(":");
    rootName += reinterpret_cast<const char*>(root->name);
    if (rootName != "Centro")
        refuse("El archivo " + inQuotes(name) + " no es un documento de centro: su elemento raíz es " +
               inQuotes(rootName) + ", no \"Centro\".");
    return result;
}

struct FileSource {
    std::FILE* file;

    static int read(void* context, char* buffer, int length) {
        auto* self = static_cast<FileSource*>(context);
        const std::size_t got = std::fread(buffer, 1, static_cast<std::size_t>(length), self->file);
        if (got == 0 && std::ferror(self->file)) return -1;
        return static_cast<int>(got);
    }
    static int close(void* context) {
        auto* self = static_cast<FileSource*>(context);
        std::fclose(self->file);
        delete self;
        return 0;
    }
};

// Whether a node's name, with its prefix as written, is `name`.
bool hasName(const xmlNode* node, std::string_view name) {
    const auto* local = reinterpret_cast<const char*>(node->name);
    if (node->ns != nullptr && node->ns->prefix != nullptr) {
        const auto* prefix = reinterpret_cast<const char*>(node->ns->prefix);
        const std::size_t prefixLength = std::strlen(prefix);
        return name.size() > prefixLength && name.compare(0, prefixLength, prefix) == 0 &&
               name[prefixLength] == ':' && name.substr(prefixLength + 1) == local;
    }
    return name == local;
}

// The attribute's value as UTF-8, entity references resolved, not yet trimmed; false when
// the element has no attribute of that name.
bool rawValue(const xmlNode* node, std::string_view name, std::string& out) {
    if (node == nullptr || node->type != XML_ELEMENT_NODE) return false;
    for (const xmlAttr* attribute = node->properties; attribute != nullptr; attribute = attribute->next) {
        if (!hasName(reinterpret_cast<const xmlNode*>(attribute), name)) continue;
        const xmlNode* children = attribute->children;
        if (children == nullptr) {
            out.clear();
        } else if (children->type == XML_TEXT_NODE && children->next == nullptr) {
            out = children->content != nullptr ? reinterpret_cast<const char*>(children->content) : "";
        } else {
            xmlChar* joined = xmlNodeListGetString(node->doc, children, 1);
            out = joined != nullptr ? reinterpret_cast<const char*>(joined) : "";
            xmlFree(joined);
        }
        return true;
    }
    return false;
}

} // namespace

std::string CentroElement::attr(std::string_view name) const {
    return text::utf8ToCp1252(attrUtf8(name));
}

std::string CentroElement::attrUtf8(std::string_view name) const {
    std::string value;
    if (!rawValue(node_, name, value)) return {};
    const std::string_view trimmed = text::trimControls(value);
    if (trimmed.size() == value.size()) return value;
    return std::string(trimmed);
}

CentroElement CentroElement::grandparent() const {
    if (node_ == nullptr || node_->parent == nullptr) return CentroElement();
    const xmlNode* above = node_->parent->parent;
    if (above == nullptr || above->type != XML_ELEMENT_NODE) return CentroElement();
    return CentroElement(above);
}

long CentroElement::line() const {
    return node_ != nullptr ? xmlGetLineNo(node_) : 0;
}

void CentroDocument::Free::operator()(_xmlDoc* doc) const {
    xmlFreeDoc(doc);
}

CentroDocument::CentroDocument(_xmlDoc* doc, std::string name) : doc_(doc), name_(std::move(name)) {}
CentroDocument::CentroDocument(CentroDocument&&) noexcept = default;
CentroDocument& CentroDocument::operator=(CentroDocument&&) noexcept = default;
CentroDocument::~CentroDocument() = default;

CentroDocument CentroDocument::adopt(_xmlDoc* doc, std::string name) {
    return CentroDocument(doc, std::move(name));
}

CentroDocument CentroDocument::open(const std::filesystem::path& file) {
    const auto u8 = file.u8string();
    const std::string name(u8.begin(), u8.end());
    std::error_code error;
    const auto status = std::filesystem::status(file, error);
    if (status.type() == std::filesystem::file_type::not_found)
        refuse("El archivo " + inQuotes(name) + " no existe.");
    if (status.type() == std::filesystem::file_type::directory)
        refuse("El archivo " + inQuotes(name) + " no se puede leer: es una carpeta.");
#ifdef _WIN32
    std::FILE* handle = _wfopen(file.c_str(), L"rb");
#else
    std::FILE* handle = std::fopen(file.c_str(), "rb");
#endif
    if (handle == nullptr) {
        const int cause = errno;
        refuse("El archivo " + inQuotes(name) + " no se puede leer" +
               (cause == EACCES || cause == EPERM ? std::string(": no hay permiso para leerlo")
                                                  : ": " + systemReason(cause)) +
               ".");
    }
    int first = std::fgetc(handle);
    if (first == EOF) {
        const bool failed = std::ferror(handle) != 0;
        std::fclose(handle);
        if (failed) refuse("El archivo " + inQuotes(name) + " no se puede leer.");
        refuse("El archivo " + inQuotes(name) + " está vacío.");
    }
    std::ungetc(first, handle);
    // Closed here unless the parser takes it (it then closes it, also when the read fails).
    std::unique_ptr<FileSource, int (*)(void*)> source(new FileSource{handle}, &FileSource::close);
    return parseWith(name, [&source](xmlParserCtxt* ctxt) {
        return xmlCtxtReadIO(ctxt, &FileSource::read, &FileSource::close, source.release(), nullptr, nullptr,
                             parseOptions);
    });
}

CentroDocument CentroDocument::parse(std::string_view bytes, const std::string& name) {
    if (bytes.empty()) refuse("El archivo " + inQuotes(name) + " está vacío.");
    if (bytes.size() > static_cast<std::size_t>(INT_MAX))
        refuse("El archivo " + inQuotes(name) + " es demasiado grande.");
    return parseWith(name, [bytes](xmlParserCtxt* ctxt) {
        return xmlCtxtReadMemory(ctxt, bytes.data(), static_cast<int>(bytes.size()), nullptr, nullptr,
                                 parseOptions);
    });
}

CentroElement CentroDocument::root() const {
    return CentroElement(doc_ ? xmlDocGetRootElement(doc_.get()) : nullptr);
}

std::vector<CentroElement> CentroDocument::select(std::string_view absolutePath) const {
    std::vector<const xmlNode*> level;
    if (!doc_ || absolutePath.empty() || absolutePath.front() != '/') return {};
    bool first = true;
    std::string_view rest = absolutePath.substr(1);
    while (true) {
        const std::size_t slash = rest.find('/');
        const std::string_view step = rest.substr(0, slash);
        if (step.empty()) return {};
        std::vector<const xmlNode*> next;
        if (first) {
            const xmlNode* top = xmlDocGetRootElement(doc_.get());
            if (top != nullptr && hasName(top, step)) next.push_back(top);
            first = false;
        } else {
            // Each level's nodes are disjoint subtrees in document order, so their children
            // taken in turn are in document order as well.
            for (const xmlNode* parent : level)
                for (const xmlNode* child = parent->children; child != nullptr; child = child->next)
                    if (child->type == XML_ELEMENT_NODE && hasName(child, step)) next.push_back(child);
        }
        level = std::move(next);
        if (level.empty() || slash == std::string_view::npos) break;
        rest = rest.substr(slash + 1);
    }
    std::vector<CentroElement> result;
    result.reserve(level.size());
    for (const xmlNode* node : level) result.emplace_back(node);
    return result;
}

CodeLookup::CodeLookup(const std::vector<CentroElement>& elements) {
    names_.reserve(elements.size());
    for (const CentroElement& element : elements) {
        std::string code = element.attr("Codigo");
        if (code.empty() || names_.count(code) != 0) continue;
        names_.emplace(std::move(code), element.attr("Denominacion"));
    }
}

std::optional<std::string> CodeLookup::find(const std::string& key) const {
    if (key.empty()) return std::nullopt;
    const auto found = names_.find(key);
    if (found == names_.end()) return std::nullopt;
    return found->second;
}

} // namespace almadia
