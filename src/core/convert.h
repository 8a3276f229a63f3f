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

/// The value of a hexadecimal digit of either case, or -1 for any other character.
constexpr int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

}  // namespace lumavex
