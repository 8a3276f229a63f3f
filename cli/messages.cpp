#include "messages.h"

#include <libintl.h>
#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <vector>

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

// The forms of the core's messages that a user of the tool meets, %s standing for a file
// name, a value or the system's reason.
const char* const kCoreMessages[] = {
    "'%s' は整数ではありません",
    "%s: 開けません (%s)",
    "%s: 通常のファイルではありません",
    "%s: ファイルが大きすぎます (2 GiB まで)",
    "%s: 読めません (%s)",
    "%s: 認識できない画像形式です",
    "%s: 書き込めません (%s)",
    "%s: 書き込みに失敗しました (%s)",
    "%s: 保存できません (%s)",
    "%s: この形式では保存できません (.bmp .dib .jpg .jpeg .png .gif .webp .tif .tiff)",
    "%s: 空の画像は保存できません",
    "%s: BMP ファイルではありません",
    "%s: BMP ファイルが壊れています (%s)",
    "%s: この BMP の形式には対応していません (%s)",
    "%s: JPEG ファイルが壊れています (%s)",
    "%s: PNG ファイルではありません",
    "%s: PNG ファイルが壊れています (%s)",
    "%s: この PNG の形式には対応していません",
    "%s: GIF ファイルではありません",
    "%s: GIF ファイルが壊れています (%s)",
    "%s: アイコン ファイルではありません",
    "%s: WebP ファイルが壊れています (%s)",
    "%s: TIFF ファイルが壊れています (%s)",
    "%s: この TIFF ファイルには対応していません (%s)",
    "WebP に保存できる画像は一辺 16383 ピクセルまでです",
    "%s: メタファイルは表示できません (メタファイルの描画には対応していません)",
    "%s: 画像が大きすぎます: %s (一辺 65535 ピクセル、1 GiB まで)",
    "%s: 画像のメモリを確保できません: %s",
    "影の幅は 1 以上でなければなりません: %s",
    "ぼかしの幅は 1 以上でなければなりません: %s",
    "パネルの幅は 1 以上でなければなりません: %s",
    "幅は 1 以上でなければなりません: %s",
    "高さは 1 以上でなければなりません: %s",
    "幅と高さは 1 以上でなければなりません: %s",
    "パネルのレベルが大きすぎます: %s",
    "合成する画像の大きさが違います: %s",
    "色数は 2 から 64000 までです: %s",
    "GIF の色数のビット数は 1 から 8 までです: %s",
    "文字の大きさは 1 から %s ピクセルまでです: %s",
    "回転した画像が大きすぎます: %s (一辺 65535 ピクセル、1 GiB まで)",
    "画像が大きすぎます: %s (一辺 65535 ピクセル、1 GiB まで)",
    "画像のメモリを確保できません: %s",
};

std::regex patternOf(const std::string& form)
{
    std::string pattern = "^";
    for (size_t i = 0; i < form.size(); ++i) {
        if (form.compare(i, 2, "%s") == 0) {
            pattern += "(.*)";
            ++i;
        } else if (std::string("\\^$.|?*+()[]{}").find(form[i]) != std::string::npos) {
            pattern += std::string("\\") + form[i];
        } else {
            pattern += form[i];
        }
    }
    return std::regex(pattern + "$");
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

std::string trCoreMessage(const std::string& message)
{
    if (!g_english)
        return message;
    for (const char* form : kCoreMessages) {
        std::smatch match;
        if (!std::regex_match(message, match, patternOf(form)))
            continue;
        return trFormat(form, match.size() > 1 ? match[1].str() : "",
                        match.size() > 2 ? match[2].str() : "",
                        match.size() > 3 ? match[3].str() : "");
    }
    return tr(message);
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
