#include "convert.h"

#include "error.h"

namespace lumavex {

std::string notAnIntegerMessage(std::string_view text)
{
    std::string message = "'";
    message += text;
    message += "' は整数ではありません";
    return message;
}

int32_t StrToInt(std::string_view text)
{
    auto isBlank = [](char c) { return c == ' ' || c == '\t'; };
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;

    size_t i = begin;
    bool negative = false;
    if (i < end && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i == end)
        throw Error(ErrorKind::Conversion, notAnIntegerMessage(text));

    // Accumulate as a negative number so that INT32_MIN fits.
    int64_t value = 0;
    for (; i < end; ++i) {
        const char c = text[i];
        if (c < '0' || c > '9')
            throw Error(ErrorKind::Conversion, notAnIntegerMessage(text));
        value = value * 10 + (c - '0');
        if (value > int64_t{INT32_MAX} + 1)
            throw Error(ErrorKind::Conversion, notAnIntegerMessage(text));
    }
    if (!negative && value > INT32_MAX)
        throw Error(ErrorKind::Conversion, notAnIntegerMessage(text));
    return static_cast<int32_t>(negative ? -value : value);
}

}  // namespace lumavex
