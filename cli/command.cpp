#include "command.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <sstream>

#include "core/convert.h"
#include "core/error.h"
#include "formats/picture_io.h"
#include "messages.h"
#include "run.h"
#include "version.h"

namespace lumavex::cli {

std::vector<Command>& commandTable()
{
    static std::vector<Command> table;
    return table;
}

CommandFamily::CommandFamily(std::vector<Command> commands)
{
    auto& table = commandTable();
    for (auto& c : commands) {
        // Every command that writes a picture can say how its JPEG, WebP or TIFF is written.
        if (c.files == 2) {
            c.options.push_back(
                {"quality", OptionType::Integer, "75", "JPEG と WebP の品質 (1..100)"});
            c.options.push_back({"lossless", OptionType::Flag, "", "WebP を可逆圧縮で保存"});
            c.options.push_back(
                {"compression", OptionType::Text, "lzw", "TIFF の圧縮 (none, lzw, deflate)"});
        }
        table.push_back(std::move(c));
    }
}

bool Command::hasOption(const std::string& option) const
{
    return std::any_of(options.begin(), options.end(),
                       [&](const OptionDef& o) { return o.name == option; });
}

Command sharedCommand(CommandId id, std::string summary, std::vector<OptionDef> options,
                      std::function<Settings(const Invocation&)> settings)
{
    Command c{commandInfo(id).name, std::move(summary), std::move(options)};
    c.shared = id;
    c.settings = std::move(settings);
    return c;
}

Error usageError(const std::string& message)
{
    return Error(ErrorKind::BadArgument, message);
}

const Command* findCommand(const std::string& name)
{
    for (const auto& c : commandTable())
        if (c.name == name)
            return &c;
    return nullptr;
}

namespace {

Error usage(const std::string& message)
{
    return usageError(message);
}

std::string placeholder(OptionType type)
{
    switch (type) {
        case OptionType::Integer: return " N";
        case OptionType::Color: return " COLOR";
        case OptionType::Text: return " TEXT";
        case OptionType::Flag: return "";
        case OptionType::Rect: return " X,Y,W,H";
    }
    return "";
}

std::string commandUsage(const Command& c)
{
    std::ostringstream out;
    out << trFormat("使い方: lumavex-fx %s", c.name + (c.options.empty() ? "" : " [OPTIONS]") +
                                                 (c.files == 2 ? " INPUT OUTPUT" : " INPUT"))
        << "\n"
        << tr(c.summary) << "\n";
    if (!c.options.empty())
        out << "\n";
    for (const auto& o : c.options) {
        std::string head = "  --" + o.name + placeholder(o.type);
        out << head << std::string(head.size() < 26 ? 26 - head.size() : 1, ' ') << tr(o.help);
        if (o.required)
            out << " " << tr("(必須)");
        else if (!o.defaultValue.empty())
            out << " " << trFormat("(既定値 %s)", o.defaultValue);
        out << "\n";
    }
    return out.str();
}

// The commands in the order of the tool's manual; any others after them.
std::vector<Command> orderedCommands()
{
    static const char* const order[] = {
        "add-shadow",   "add-shadow-soft", "flame-blur", "circle-blur",
        "ellipse-blur", "panel",           "blur",       "drop-blur-shadow",
        "merge",        "mix-paste",       "text-out",   "text-texture",
        "fl-mask",      "hflip",           "vflip",      "negative",
        "gray",         "rotate",          "resample",   "resize",
        "convert",      "num-colors",      "save"};
    auto rank = [](const std::string& name) {
        for (size_t i = 0; i < std::size(order); ++i)
            if (name == order[i])
                return i;
        return std::size(order);
    };
    std::vector<Command> commands = commandTable();
    std::stable_sort(commands.begin(), commands.end(), [&](const Command& a, const Command& b) {
        return rank(a.name) < rank(b.name);
    });
    return commands;
}

const char* toolDescription()
{
    return "画像ファイルに Lumavex の処理をひとつ施して保存します。形式は拡張子で決まります\n"
           "(.bmp .dib .jpg .jpeg .png .gif .webp .tif .tiff)。色は #RRGGBB、#RGB か色の名前\n"
           "(red, navy など) で書きます。\n";
}

std::string toolUsage()
{
    std::ostringstream out;
    out << tr("使い方: lumavex-fx COMMAND [OPTIONS] INPUT OUTPUT\n"
              "        lumavex-fx num-colors INPUT\n"
              "        lumavex-fx run --chain STEPS -o OUTDIR [-j N] INPUT... (lumavex-fx run "
              "--help)\n"
              "        lumavex-fx --help | --version | COMMAND --help\n")
        << "\n"
        << tr(toolDescription()) << "\n"
        << tr("コマンド:") << "\n";
    for (const auto& c : orderedCommands()) {
        std::string head = "  " + c.name;
        out << head << std::string(head.size() < 20 ? 20 - head.size() : 1, ' ') << tr(c.summary)
            << "\n";
    }
    return out.str();
}

// The words bash completion offers: the commands, or one command's options.
void listForCompletion(const std::vector<std::string>& args)
{
    if (args[0] == "--list-commands") {
        for (const auto& c : orderedCommands())
            std::cout << c.name << "\n";
        std::cout << "run\n--help\n--version\n";
        return;
    }
    if (args.size() < 2)
        return;
    if (args[1] == "run") {
        for (const char* o : batchOptionNames())
            std::cout << o << "\n";
        return;
    }
    if (const Command* c = findCommand(args[1])) {
        for (const auto& o : c->options)
            std::cout << "--" << o.name << "\n";
        std::cout << "--help\n";
    }
}

std::string roffEscaped(std::string text)
{
    std::string out;
    for (char c : text) {
        if (c == '\\')
            out += "\\e";
        else if (c == '-')
            out += "\\-";
        else
            out += c;
    }
    if (!out.empty() && (out[0] == '.' || out[0] == '\''))
        out.insert(0, "\\&");
    return out;
}

// The manual page, made from the same table as --help so that it lists every command, option
// and default.
std::string manualPage()
{
    std::ostringstream out;
    out << ".TH LUMAVEX\\-FX 1 \"\" \"Lumavex " LUMAVEX_VERSION "\" \"Lumavex\"\n"
        << ".SH NAME\nlumavex\\-fx \\- "
        << roffEscaped(tr("画像ファイルに Lumavex の処理を施します")) << "\n.SH SYNOPSIS\n"
        << ".B lumavex\\-fx\n\\fICOMMAND\\fR [\\fIOPTIONS\\fR] \\fIINPUT\\fR \\fIOUTPUT\\fR\n.br\n"
        << ".B lumavex\\-fx num\\-colors\n\\fIINPUT\\fR\n.br\n"
        << ".B lumavex\\-fx run\n\\-\\-chain \\fISTEPS\\fR \\-o \\fIOUTDIR\\fR [\\-j \\fIN\\fR] "
           "\\fIINPUT\\fR...\n.br\n"
        << ".B lumavex\\-fx\n\\-\\-help | \\-\\-version | \\fICOMMAND\\fR \\-\\-help\n"
        << ".SH DESCRIPTION\n"
        << roffEscaped(tr(toolDescription())) << "\n"
        << ".SH COMMANDS\n";
    for (const auto& c : orderedCommands()) {
        out << ".SS " << roffEscaped(c.name) << "\n" << roffEscaped(tr(c.summary)) << "\n";
        for (const auto& o : c.options) {
            out << ".TP\n.B \\-\\-" << roffEscaped(o.name) << roffEscaped(placeholder(o.type))
                << "\n"
                << roffEscaped(tr(o.help));
            if (o.required)
                out << " " << roffEscaped(tr("(必須)"));
            else if (!o.defaultValue.empty())
                out << " " << roffEscaped(trFormat("(既定値 %s)", o.defaultValue));
            out << "\n";
        }
    }
    out << ".SS run\n.nf\n"
        << roffEscaped(batchUsage()) << ".fi\n"
        << ".SH \"EXIT STATUS\"\n.TP\n.B 0\n"
        << roffEscaped(tr("成功しました")) << "\n.TP\n.B 2\n"
        << roffEscaped(tr("引数の誤り、読めない・書けないファイル、処理の失敗 (run "
                          "では失敗したファイルがある)"))
        << "\n.SH ENVIRONMENT\n.TP\n.B LC_ALL, LC_MESSAGES, LANG\n"
        << roffEscaped(tr("最初に設定されているものが ja "
                          "で始まるとき、メッセージは日本語です。ほかは英語です。"))
        << "\n.SH \"SEE ALSO\"\n.BR lumavex (1)\n";
    return out.str();
}

Rect parseRect(const std::string& text)
{
    std::vector<int> parts;
    size_t start = 0;
    while (true) {
        const size_t comma = text.find(',', start);
        parts.push_back(StrToInt(text.substr(start, comma - start)));
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    if (parts.size() != 4)
        throw usage(trFormat("'%s' は X,Y,W,H の形ではありません", text));
    if (parts[2] < 0 || parts[3] < 0)
        throw usage(trFormat("--rect の幅と高さは 0 以上でなければなりません: %s", text));
    const int64_t right = int64_t{parts[0]} + parts[2];
    const int64_t bottom = int64_t{parts[1]} + parts[3];
    if (right > INT32_MAX || bottom > INT32_MAX)
        throw usage(trFormat("--rect の範囲が大きすぎます: %s", text));
    return {parts[0], parts[1], static_cast<int>(right), static_cast<int>(bottom)};
}

}  // namespace

namespace {

// The colour names people type, as the web and X11 spell them.
struct NamedColor {
    const char* name;
    int r, g, b;
};
constexpr NamedColor kColorNames[] = {
    {"black", 0, 0, 0},           {"white", 255, 255, 255},    {"red", 255, 0, 0},
    {"lime", 0, 255, 0},          {"green", 0, 128, 0},        {"blue", 0, 0, 255},
    {"yellow", 255, 255, 0},      {"cyan", 0, 255, 255},       {"aqua", 0, 255, 255},
    {"magenta", 255, 0, 255},     {"fuchsia", 255, 0, 255},    {"gray", 128, 128, 128},
    {"grey", 128, 128, 128},      {"silver", 192, 192, 192},   {"lightgray", 211, 211, 211},
    {"lightgrey", 211, 211, 211}, {"darkgray", 169, 169, 169}, {"darkgrey", 169, 169, 169},
    {"maroon", 128, 0, 0},        {"olive", 128, 128, 0},      {"navy", 0, 0, 128},
    {"purple", 128, 0, 128},      {"teal", 0, 128, 128},       {"orange", 255, 165, 0},
    {"pink", 255, 192, 203},      {"brown", 165, 42, 42},      {"gold", 255, 215, 0},
    {"beige", 245, 245, 220},     {"ivory", 255, 255, 240},    {"khaki", 240, 230, 140},
    {"violet", 238, 130, 238},    {"indigo", 75, 0, 130},      {"crimson", 220, 20, 60},
    {"coral", 255, 127, 80},      {"salmon", 250, 128, 114},   {"tomato", 255, 99, 71},
    {"skyblue", 135, 206, 235},   {"steelblue", 70, 130, 180}, {"tan", 210, 180, 140},
};

std::string lowered(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace

Color parseColor(const std::string& text)
{
    if ((text.size() == 7 || text.size() == 4) && text[0] == '#') {
        int v[6];
        bool ok = true;
        for (size_t i = 1; i < text.size(); ++i)
            ok = ok && (v[i - 1] = hexDigit(text[i])) >= 0;
        if (ok && text.size() == 7)
            return makeColor(v[0] * 16 + v[1], v[2] * 16 + v[3], v[4] * 16 + v[5]);
        if (ok)  // #RGB: each digit doubled, #F80 is #FF8800
            return makeColor(v[0] * 17, v[1] * 17, v[2] * 17);
    }
    const std::string name = lowered(text);
    for (const NamedColor& c : kColorNames)
        if (name == c.name)
            return makeColor(c.r, c.g, c.b);
    throw usage(trFormat("'%s' は色ではありません (#RRGGBB, #RGB か red などの色の名前)", text));
}

Invocation::Invocation(const Command& command, std::map<std::string, std::string> values,
                       std::vector<std::string> files)
    : m_command(command), m_values(std::move(values)), m_files(std::move(files))
{
}

const OptionDef& Invocation::definition(const std::string& name) const
{
    for (const auto& o : m_command.options)
        if (o.name == name)
            return o;
    throw std::logic_error("command " + m_command.name + " has no option " + name);
}

const std::string* Invocation::raw(const std::string& name) const
{
    const OptionDef& s = definition(name);
    auto it = m_values.find(name);
    if (it != m_values.end())
        return &it->second;
    if (!s.defaultValue.empty())
        return &s.defaultValue;
    return nullptr;
}

bool Invocation::has(const std::string& name) const
{
    return raw(name) != nullptr;
}

int Invocation::integer(const std::string& name) const
{
    const std::string* v = raw(name);
    if (!v)
        throw usage(trFormat("--%s を指定してください", name));
    const int value = StrToInt(*v);
    const auto& choices = definition(name).choices;
    if (!choices.empty() && std::find(choices.begin(), choices.end(), value) == choices.end()) {
        std::string list;
        for (int c : choices)
            list += (list.empty() ? "" : ", ") + std::to_string(c);
        throw usage(trFormat("--%s は %s のどれかです: %s", name, list, *v));
    }
    return value;
}

Color Invocation::color(const std::string& name) const
{
    const std::string* v = raw(name);
    if (!v)
        throw usage(trFormat("--%s を指定してください", name));
    return parseColor(*v);
}

std::string Invocation::text(const std::string& name) const
{
    const std::string* v = raw(name);
    if (!v)
        throw usage(trFormat("--%s を指定してください", name));
    return *v;
}

bool Invocation::flag(const std::string& name) const
{
    definition(name);
    return m_values.count(name) != 0;
}

std::optional<Rect> Invocation::rect(const std::string& name) const
{
    const std::string* v = raw(name);
    if (!v)
        return std::nullopt;
    return parseRect(*v);
}

Raster Invocation::loadPicture(const std::string& fileName) const
{
    return LoadPicture(fileName);
}

int jpegQuality(const Invocation& invocation)
{
    const int quality = invocation.integer("quality");
    if (quality < 1 || quality > 100)
        throw usage(trFormat("--quality は 1 から 100 までです: %s", std::to_string(quality)));
    return quality;
}

TiffCompression tiffCompression(const std::string& name)
{
    if (name == "none")
        return TiffCompression::None;
    if (name == "lzw")
        return TiffCompression::Lzw;
    if (name == "deflate")
        return TiffCompression::Deflate;
    throw usage(trFormat("--compression は none, lzw, deflate のどれかです: %s", name));
}

void Invocation::validate() const
{
    for (const auto& o : m_command.options) {
        if (o.required && !m_values.count(o.name))
            throw usage(
                trFormat("--%s を指定してください (lumavex-fx %s --help)", o.name, m_command.name));
        if (!raw(o.name))
            continue;
        switch (o.type) {
            case OptionType::Integer: integer(o.name); break;
            case OptionType::Color: color(o.name); break;
            case OptionType::Rect: rect(o.name); break;
            case OptionType::Text:
            case OptionType::Flag: break;
        }
    }
}

// Does what the editor's one-click command does to a document's main picture, with a fresh
// scratch picture and the --layer picture floating.
void applyCommand(const Command& command, Invocation& invocation, Raster& picture,
                  std::future<Raster>* layer)
{
    if (!command.shared) {
        command.run(invocation, picture);
        return;
    }
    const Settings settings = command.settings(invocation);
    const bool floats = command.hasOption("layer");
    const Raster floating = !floats ? Raster()
                            : layer ? layer->get()
                                    : invocation.loadPicture(invocation.text("layer"));
    Raster scratch;
    auto work = [&](TextRenderer* renderer) {
        CommandPictures pictures{picture, picture, scratch, floats ? &floating : nullptr,
                                 nullptr, renderer};
        lumavex::runCommand(*command.shared, settings, pictures);
    };
    if (command.textHost)
        command.textHost(work);
    else
        work(nullptr);
}

ParsedArguments parseArguments(const Command& command, const std::vector<std::string>& args)
{
    ParsedArguments parsed;
    auto& values = parsed.values;
    auto& files = parsed.files;
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (optionsEnded || a.size() < 2 || a.compare(0, 2, "--") != 0) {
            files.push_back(a);
            continue;
        }
        if (a == "--") {
            optionsEnded = true;
            continue;
        }
        if (a == "--help") {
            parsed.help = true;
            return parsed;
        }
        std::string name = a.substr(2);
        std::optional<std::string> value;
        if (const size_t eq = name.find('='); eq != std::string::npos) {
            value = name.substr(eq + 1);
            name.resize(eq);
        }
        const OptionDef* def = nullptr;
        for (const auto& o : command.options)
            if (o.name == name)
                def = &o;
        if (!def)
            throw usage(trFormat("%s に --%s というオプションはありません", command.name, name));
        if (def->type == OptionType::Flag) {
            if (value)
                throw usage(trFormat("--%s は値をとりません", name));
            values[name] = "";
            continue;
        }
        if (!value) {
            if (i + 1 >= args.size())
                throw usage(trFormat("--%s の値がありません", name));
            value = args[++i];
        }
        values[name] = *value;
    }
    return parsed;
}

namespace {

int runCommand(const Command& command, const std::vector<std::string>& args)
{
    ParsedArguments parsed = parseArguments(command, args);
    if (parsed.help) {
        std::cout << commandUsage(command);
        return 0;
    }
    const auto& files = parsed.files;
    if (static_cast<int>(files.size()) != command.files)
        throw usage(command.files == 2
                        ? trFormat("INPUT と OUTPUT を指定してください (lumavex-fx %s --help)",
                                   command.name)
                        : tr("INPUT をひとつ指定してください"));

    Invocation invocation(command, std::move(parsed.values), files);
    invocation.validate();
    if (command.files == 2) {
        SaveOptions& save = invocation.saveOptions();
        save.quality = jpegQuality(invocation);
        save.webpLossless = invocation.flag("lossless");
        save.tiffCompression = tiffCompression(invocation.text("compression"));
    }
    if (command.files == 2)
        savedFileName(invocation.output());  // refuses an unwritable extension up front
    // The --layer picture is read while the input is; what goes wrong reading it is told where
    // it would be told without the overlap.
    std::future<Raster> layer;
    if (command.shared && command.hasOption("layer"))
        layer = std::async(std::launch::async, [&invocation] {
            return invocation.loadPicture(invocation.text("layer"));
        });
    if (command.keepsPicture) {
        Raster none;
        command.run(invocation, none);
        CopyPicture(invocation.input(), invocation.output(), invocation.saveOptions());
        return 0;
    }
    // Commands whose result rows need only source rows near them follow the decoder down the
    // picture.
    if (command.shared && command.files == 2) {
        if (auto* stage = commandInfo(*command.shared).rowStage) {
            const Settings settings = command.settings(invocation);
            PictureWork work{[&](Raster& p) { applyCommand(command, invocation, p); },
                             [&](const Raster& source) { return stage(settings, source); }};
            CopyPicture(invocation.input(), invocation.output(), invocation.saveOptions(), work);
            return 0;
        }
    }
    Raster picture = LoadPicture(invocation.input());
    applyCommand(command, invocation, picture, layer.valid() ? &layer : nullptr);
    if (command.files == 2)
        SavePicture(picture, invocation.output(), invocation.saveOptions());
    return 0;
}

}  // namespace

int runTool(const std::vector<std::string>& args)
{
    try {
        if (args.empty()) {
            std::cerr << toolUsage();
            return 2;
        }
        if (args[0] == "--help" || args[0] == "-h") {
            std::cout << toolUsage();
            return 0;
        }
        if (args[0] == "--version") {
            std::cout << "lumavex-fx " LUMAVEX_VERSION "\n";
            return 0;
        }
        if (args[0] == "--list-commands" || args[0] == "--list-options") {
            listForCompletion(args);
            return 0;
        }
        if (args[0] == "--man") {
            std::cout << manualPage();
            return 0;
        }
        if (args[0] == "run")
            return runBatch(std::vector<std::string>(args.begin() + 1, args.end()));
        const Command* command = findCommand(args[0]);
        if (!command)
            throw usage(trFormat("'%s' というコマンドはありません (lumavex-fx --help)", args[0]));
        return runCommand(*command, std::vector<std::string>(args.begin() + 1, args.end()));
    } catch (const Error& e) {
        std::cerr << "lumavex-fx: " << trCoreMessage(e.what()) << "\n";
        return 2;
    } catch (const std::bad_alloc&) {
        std::cerr << "lumavex-fx: " << tr("メモリが足りません") << "\n";
        return 2;
    }
}

}  // namespace lumavex::cli
