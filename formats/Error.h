#pragma once

#include <stdexcept>
#include <string>
#include <system_error>

namespace almadia {

// How a run ends when it cannot go on.
//  Refusal: the input was rejected before anything in the exchange folder was touched.
//  Failure: the run stopped part-way; files are either old or new, never half written.
enum class ErrorKind { Refusal, Failure };

// The one error type of the core. The message is Spanish, UTF-8, and complete: it names the
// file, element, table, row, field or value at fault. Front ends show it as it is.
class Error : public std::runtime_error {
public:
    explicit Error(const std::string& message, ErrorKind kind = ErrorKind::Failure)
        : std::runtime_error(message), kind_(kind) {}

    ErrorKind kind() const { return kind_; }
    bool isRefusal() const { return kind_ == ErrorKind::Refusal; }

private:
    ErrorKind kind_;
};

// The reason of a failed file operation, in Spanish ("permiso denegado", "no queda espacio en el
// disco"), for messages that name the file.
std::string systemReason(int error);
std::string systemReason(const std::error_code& error);

} // namespace almadia
