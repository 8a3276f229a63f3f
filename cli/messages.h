#pragma once
// The tool's messages follow the user's locale: Japanese, the language they are written in,
// under a Japanese locale, English from the tool's catalogue otherwise.

#include <string>

namespace lumavex::cli {

/// Chooses the language from LC_ALL, LC_MESSAGES and LANG and opens the catalogue installed
/// beside the program (../share/locale). Called once, before any message is made.
void initMessages();

/// The message in the user's language.
std::string tr(const std::string& message);

/// The message in the user's language with each %s replaced by the next argument.
std::string trFormat(const std::string& format, const std::string& a, const std::string& b = {},
                     const std::string& c = {});

/// A message of the program's core (a file that cannot be read, a value it refuses) in the
/// user's language: the known forms are translated, the file names and values in them kept.
std::string trCoreMessage(const std::string& message);

}  // namespace lumavex::cli
