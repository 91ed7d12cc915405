#include "formats/Error.h"

#include <cerrno>

namespace almadia {

std::string systemReason(int error) {
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return "la carpeta no existe";
    case EACCES:
    case EPERM:
        return "permiso denegado";
    case EROFS:
        return "la carpeta es de solo lectura";
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
        return "no queda espacio en el disco";
    case EFBIG:
        return "el archivo supera el tamaño que se permite escribir";
    case EISDIR:
        return "hay una carpeta con ese nombre";
    case EBUSY:
#ifdef ETXTBSY
    case ETXTBSY:
#endif
        return "el archivo está en uso por otro programa";
    case ENOTEMPTY:
    case EEXIST:
        return "hay una carpeta con ese nombre";
    default:
        return "error del sistema " + std::to_string(error);
    }
}

std::string systemReason(const std::error_code& ec) {
    if (ec.category() == std::generic_category() || ec.category() == std::system_category())
        return systemReason(ec.value());
    return ec.message();
}

} // namespace almadia
