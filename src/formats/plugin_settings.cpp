// The user's plug-in folders as the editor keeps them, read without Qt for lumavex-fx.
#include <cstdlib>
#include <fstream>

#include "core/convert.h"
#include "formats/spi_plugins.h"

namespace lumavex {

namespace {

/// A value as the editor's settings write it: spaces at its ends dropped, parts in double
/// quotes, backslash escapes ("\\", "\"", "\t", "\xHH..." for a character code).
std::string unescapedValue(std::string raw)
{
    while (!raw.empty() && (raw.back() == ' ' || raw.back() == '\t'))
        raw.pop_back();
    const size_t first = raw.find_first_not_of(" \t");
    std::string out;
    for (size_t i = first == std::string::npos ? raw.size() : first; i < raw.size(); ++i) {
        const char c = raw[i];
        if (c == '"')
            continue;
        if (c != '\\' || i + 1 == raw.size()) {
            out += c;
            continue;
        }
        const char e = raw[++i];
        if (e != 'x') {
            out += e == 't' ? '\t' : e == 'n' ? '\n' : e == 'r' ? '\r' : e;
            continue;
        }
        unsigned code = 0;
        while (i + 1 < raw.size() && hexDigit(raw[i + 1]) >= 0 && code <= 0xFFF)
            code = code * 16 + static_cast<unsigned>(hexDigit(raw[++i]));
        // A character code, written back as UTF-8.
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | ((code >> 12) & 0x0F));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return out;
}

}  // namespace

std::string SpiPlugins::settingsFileName()
{
    const char* config = std::getenv("XDG_CONFIG_HOME");
    std::string folder;
    if (config && config[0] == '/') {
        folder = config;
    } else {
        const char* home = std::getenv("HOME");
        if (!home || home[0] != '/')
            return {};
        folder = std::string(home) + "/.config";
    }
    return folder + "/lumavex/lumavex.conf";
}

std::vector<std::string> SpiPlugins::userDirectories()
{
    const std::string name = settingsFileName();
    if (name.empty())
        return {};
    std::ifstream in(name);
    std::string line, value;
    bool inGroup = false;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.starts_with('['))
            inGroup = line == "[Plug-in]";
        else if (inGroup && line.starts_with("Path="))
            value = unescapedValue(line.substr(5));
    }
    std::vector<std::string> folders;
    for (size_t start = 0; start <= value.size();) {
        size_t end = value.find(':', start);
        if (end == std::string::npos)
            end = value.size();
        if (end > start)
            folders.push_back(value.substr(start, end - start));
        start = end + 1;
    }
    return folders;
}

}  // namespace lumavex
