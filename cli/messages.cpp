#include "messages.h"

#include <libintl.h>
#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>

namespace lumavex::cli {
namespace {

constexpr const char* kDomain = "lumavex-fx";
bool g_english = false;

std::string localeName()
{
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"})
        if (const char* value = std::getenv(name); value && *value)
            return value;
    return {};
}

}  // namespace

void initMessages()
{
    g_english = localeName().rfind("ja", 0) != 0;
    if (!g_english)
        return;
    // The catalogue is chosen by LANGUAGE, which gettext heeds only outside the plain C locale,
    // so messages use C.UTF-8 whatever locales the machine has.
    setenv("LANGUAGE", "en", 1);
    std::setlocale(LC_MESSAGES, "C.UTF-8");
    std::error_code ec;
    const auto program = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec)
        bindtextdomain(kDomain, (program.parent_path().parent_path() / "share/locale").c_str());
    bind_textdomain_codeset(kDomain, "UTF-8");
}

std::string tr(const std::string& message)
{
    if (!g_english || message.empty())
        return message;
    return dgettext(kDomain, message.c_str());
}

std::string trFormat(const std::string& format, const std::string& a, const std::string& b,
                     const std::string& c)
{
    std::string text = tr(format);
    const std::string* args[] = {&a, &b, &c};
    size_t at = 0;
    for (const std::string* arg : args) {
        at = text.find("%s", at);
        if (at == std::string::npos)
            break;
        text.replace(at, 2, *arg);
        at += arg->size();
    }
    return text;
}

}  // namespace lumavex::cli
