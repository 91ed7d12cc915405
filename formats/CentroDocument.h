#pragma once

// The centre document exported by the administration system, read with libxml2.
// The whole file is parsed before any query; parsing is safe (no network, no external
// entities, no DTD loading, the parser's size and expansion limits on).

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

struct _xmlDoc;
struct _xmlNode;

namespace almadia {

namespace paths {
inline constexpr std::string_view Centro = "/Centro";
inline constexpr std::string_view Materia = "/Centro/Materias/Materia";
inline constexpr std::string_view TipoActividad = "/Centro/TiposActividad/TipoActividad";
inline constexpr std::string_view Profesor = "/Centro/Profesores/Profesor";
inline constexpr std::string_view Departamento = "/Centro/Departamentos/Departamento";
inline constexpr std::string_view Aula = "/Centro/Aulas/Aula";
inline constexpr std::string_view Grupo = "/Centro/Grupos/Grupo";
inline constexpr std::string_view Ensenanza = "/Centro/Ensenanzas/Ensenanza";
inline constexpr std::string_view Sesion = "/Centro/Sesiones/Sesion";
inline constexpr std::string_view MateriaGrupo = "/Centro/Grupos/Grupo/MateriasGrupo/MateriaGrupo";
} // namespace paths

// A light handle on one element of a loaded document; valid while the document lives.
class CentroElement {
public:
    CentroElement() = default;
    explicit CentroElement(const _xmlNode* node) : node_(node) {}

    explicit operator bool() const { return node_ != nullptr; }

    // The attribute of exactly this name, trimmed of bytes below 33 at both ends and converted
    // to Windows-1252 ('?' for a character it lacks). A missing attribute reads as "".
    std::string attr(std::string_view name) const;
    // The same value as UTF-8 (trimmed the same way), for values that go back into XML.
    std::string attrUtf8(std::string_view name) const;
    // The element two levels up (the Grupo above a MateriaGrupo); empty handle when none.
    CentroElement grandparent() const;
    // 1-based line of the element in its file, for messages.
    long line() const;

    const _xmlNode* node() const { return node_; }

private:
    const _xmlNode* node_ = nullptr;
};

class CentroDocument {
public:
    // Parses the file. A file that cannot be read, is not well-formed, is empty or whose root
    // element is not `Centro` is refused (Error with ErrorKind::Refusal) with a Spanish message
    // naming the file and giving the parser's reason and line.
    static CentroDocument open(const std::filesystem::path& file);
    // The same from bytes in memory; `name` stands for the file in messages.
    static CentroDocument parse(std::string_view bytes, const std::string& name);
    // Takes ownership of a document libxml2 has already parsed; no checks are made.
    static CentroDocument adopt(_xmlDoc* doc, std::string name);

    CentroDocument(CentroDocument&&) noexcept;
    CentroDocument& operator=(CentroDocument&&) noexcept;
    ~CentroDocument();

    CentroElement root() const;
    // Every element at an absolute path of child steps ("/Centro/Aulas/Aula"), in document order.
    std::vector<CentroElement> select(std::string_view absolutePath) const;

    // The file (or name) the document came from, for messages.
    const std::string& name() const { return name_; }
    // The underlying libxml2 document, for building the result document in place.
    _xmlDoc* xml() const { return doc_.get(); }

private:
    struct Free {
        void operator()(_xmlDoc* doc) const;
    };
    CentroDocument(_xmlDoc* doc, std::string name);

    std::unique_ptr<_xmlDoc, Free> doc_;
    std::string name_;
};

// A lookup from `Codigo` to `Denominacion` over a list (departments, teaching levels), built
// once per run: first element in document order wins, exact and case-sensitive keys.
class CodeLookup {
public:
    explicit CodeLookup(const std::vector<CentroElement>& elements);
    // The Denominacion of the first element whose Codigo equals key; nullopt when none or key empty.
    std::optional<std::string> find(const std::string& key) const;

private:
    std::unordered_map<std::string, std::string> names_;
};

} // namespace almadia
