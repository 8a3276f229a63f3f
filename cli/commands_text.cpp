// The text commands: TextOut and TextTexture, drawn by Qt's font engine. Qt starts (on the
// offscreen platform) only when one of them runs, so the other commands never pay for it.
#include <cstdlib>
#include <functional>
#include <iostream>

#include <QGuiApplication>

#include "bridge/fonts.h"
#include "bridge/qt_text_renderer.h"
#include "command.h"
#include "messages.h"
#include "core/error.h"
#include "effects/text.h"

namespace lumavex::cli {
namespace {

// Qt's own diagnostics (the runtime folder, font fallbacks) are not the tool's output. A fatal
// one ends the run like any other error: one line, status 2, no output file.
void quietMessages(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type != QtFatalMsg)
        return;
    std::cerr << "lumavex-fx: "
              << trFormat("Qt を起動できません: %s",
                          message.section(QLatin1Char('\n'), 0, 0).toStdString())
              << "\n";
    std::_Exit(2);
}

// Runs work with the Qt text renderer inside a QGuiApplication: on the offscreen platform, or
// on the one asked for with the offscreen one to fall back on, since drawing needs no display.
void withTextRenderer(const std::function<void(TextRenderer*)>& work)
{
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (platform.isEmpty())
        qputenv("QT_QPA_PLATFORM", "offscreen");
    else if (!platform.contains("offscreen"))
        qputenv("QT_QPA_PLATFORM", platform + ";offscreen");
    qInstallMessageHandler(quietMessages);
    static char name[] = "lumavex-fx";
    static char* argv[] = {name, nullptr};
    int argc = 1;
    QGuiApplication app(argc, argv);
    installFonts();
    QtTextRenderer renderer;
    work(&renderer);
}

// The lines of --text, separated by the two characters \n. As in the dialog's memo, a break
// at the very end starts no further line, and an empty text has no lines at all.
std::vector<std::string> splitLines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find("\\n", start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

TextSettings readSettings(const Invocation& inv, bool withBevel)
{
    TextSettings s;
    s.lines = splitLines(inv.text("text"));
    s.x = inv.integer("x");
    s.y = inv.integer("y");
    s.font.family = inv.text("font");
    if (s.font.family.empty())
        throw Error(ErrorKind::BadArgument, tr("--font のフォント名が空です"));
    s.font.pixelSize = inv.integer("size");
    s.font.bold = inv.flag("bold");
    s.font.italic = inv.flag("italic");
    s.font.underline = inv.flag("underline");
    s.font.strikeOut = inv.flag("strike-out");
    s.font.color = inv.color("color");
    if (withBevel) {
        s.bevel = inv.flag("bevel");
        s.topLeft = inv.text("top-left");
        s.bottomRight = inv.text("bottom-right");
    }
    s.outline = inv.flag("outline");
    s.bgColor = inv.color("bg-color");
    return s;
}

std::vector<OptionDef> textOptions(bool withBevel)
{
    std::vector<OptionDef> options = {
        {"text", OptionType::Text, "", "描く文字 (\\n で改行)", true},
        {"x", OptionType::Integer, "10", "各行の左端"},
        {"y", OptionType::Integer, "10", "最初の行の上端"},
        {"font", OptionType::Text, "ＭＳ Ｐゴシック", "フォント名"},
        {"size", OptionType::Integer, "12", "文字の大きさ (ピクセル)"},
        {"bold", OptionType::Flag, "", "太字"},
        {"italic", OptionType::Flag, "", "斜体"},
        {"underline", OptionType::Flag, "", "下線"},
        {"strike-out", OptionType::Flag, "", "取り消し線"},
        {"color", OptionType::Color, "#000000", "文字の色"},
    };
    if (withBevel) {
        options.push_back({"bevel", OptionType::Flag, "", "ベベルの写しを描きます"});
        options.push_back({"top-left", OptionType::Integer, "0", "左上の明るい写しの数"});
        options.push_back({"bottom-right", OptionType::Integer, "0", "右下の暗い写しの数"});
    }
    options.push_back({"outline", OptionType::Flag, "", "輪郭処理 (OutLine) をかけます"});
    options.push_back({"bg-color", OptionType::Color, "#FFFFFF", "画像を広げた所の色 (BGColor)"});
    return options;
}

Command textCommand(CommandId id, std::string summary, bool withBevel)
{
    Command c = sharedCommand(
        id, std::move(summary), textOptions(withBevel),
        [withBevel](const Invocation& inv) -> Settings { return readSettings(inv, withBevel); });
    c.textHost = withTextRenderer;
    return c;
}

const CommandFamily textCommands({
    textCommand(CommandId::TextOut, "テキストを描きます (はみ出す分は画像を広げます)", true),
    textCommand(CommandId::TextTexture, "画像を文字の形に切り抜きます (文字の外は白)", false),
});

}  // namespace
}  // namespace lumavex::cli
