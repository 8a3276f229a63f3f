#pragma once

#include <stdexcept>
#include <string>

namespace lumavex {

/// What went wrong, for callers that react differently (the command-line tool exits 2 for all).
enum class ErrorKind {
    BadArgument,  ///< a parameter outside what the operation accepts
    Conversion,   ///< a text that is not an integer, or a value that does not fit 32 bits
    File,         ///< a file that cannot be opened, read, written or renamed
    Format,       ///< a file whose content is corrupt, truncated or not of its format
    Unsupported,  ///< a format or variant that this program does not handle
    TooLarge,     ///< a picture larger than the program's limit
};

/// The one exception type of the core. Its message is already in the user's words.
class Error : public std::runtime_error {
public:
    Error(ErrorKind kind, const std::string& message) : std::runtime_error(message), m_kind(kind) {}
    ErrorKind kind() const { return m_kind; }

private:
    ErrorKind m_kind;
};

}  // namespace lumavex
