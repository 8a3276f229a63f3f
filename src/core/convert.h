#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace lumavex {

/// The strict integer conversion of every numeric setting: optional blanks around an optional
/// sign and decimal digits that fit a signed 32-bit integer. Anything else throws
/// Error(Conversion) with the message "'<text>' は整数ではありません".
int32_t StrToInt(std::string_view text);

/// The conversion error's message for a text.
std::string notAnIntegerMessage(std::string_view text);

}  // namespace lumavex
