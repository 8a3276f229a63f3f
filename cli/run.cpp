#include "run.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <future>
#include <iostream>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <sstream>
#include <system_error>
#include <thread>

#include "core/convert.h"
#include "messages.h"

namespace lumavex::cli {
namespace {

namespace fs = std::filesystem;

// The words of one step, split at blanks outside quotes.
std::vector<std::string> splitWords(const std::string& step)
{
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    char quote = 0;
    for (size_t i = 0; i < step.size(); ++i) {
        const char c = step[i];
        if (quote) {
            if (c == quote)
                quote = 0;
            else if (c == '\\' && quote == '"' && i + 1 < step.size() &&
                     (step[i + 1] == '"' || step[i + 1] == '\\'))
                word += step[++i];
            else
                word += c;
        } else if (c == '\'' || c == '"') {
            quote = c;
            inWord = true;
        } else if (c == ' ' || c == '\t' || c == '\r') {
            if (inWord)
                words.push_back(word);
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (quote)
        throw usageError(trFormat("チェーンの引用符が閉じていません: %s", step));
    if (inWord)
        words.push_back(word);
    return words;
}

// The steps of a chain text: split at ';' and line breaks outside quotes, comment lines left out.
std::vector<std::string> splitSteps(const std::string& text)
{
    std::vector<std::string> steps;
    std::string step;
    char quote = 0;
    bool lineStart = true;
    bool comment = false;
    for (const char c : text) {
        if (comment) {
            if (c == '\n') {
                comment = false;
                lineStart = true;
            }
            continue;
        }
        if (lineStart && (c == ' ' || c == '\t'))
            continue;
        if (lineStart && c == '#' && !quote) {
            comment = true;
            continue;
        }
        lineStart = false;
        if (c == '\n') {  // a step never goes on past its line, quoted or not
            steps.push_back(step);
            step.clear();
            quote = 0;
            lineStart = true;
        } else if (quote) {
            if (c == quote)
                quote = 0;
            step += c;
        } else if (c == '\'' || c == '"') {
            quote = c;
            step += c;
        } else if (c == ';') {
            steps.push_back(step);
            step.clear();
        } else {
            step += c;
        }
    }
    steps.push_back(step);
    return steps;
}

}  // namespace

std::string batchUsage()
{
    return tr(
        "使い方: lumavex-fx run (--chain STEPS | --chain-file FILE) (-o OUTDIR | -o PATTERN | "
        "--in-place)\n"
        "                      [-j N] [--format EXT] [--quality N] [--quiet] [--fail-fast] "
        "INPUT...\n"
        "コマンドのチェーンを各画像に順に施して保存します。画像はメモリの上で処理され、\n"
        "途中のファイルは作られません。\n\n"
        "  --chain STEPS           手順を ';' で区切ったチェーン (\"panel --width 8; blur\")\n"
        "  --chain-file FILE       一行にひとつの手順を書いたファイル ('#' の行は注釈)\n"
        "  -o OUTDIR               出力フォルダ (入力と同じ名前で書きます)\n"
        "  -o PATTERN              出力ファイル名の型 ({name} は入力の名前、{ext} は拡張子)\n"
        "  --in-place              入力ファイルを上書きします\n"
        "  -j N                    同時に処理するファイルの数 (既定値 CPU の数)\n"
        "  --format EXT            出力の形式 (既定値 入力と同じ)\n"
        "  --quality N             JPEG の品質 1..100 (既定値 75)\n"
        "  --quiet                 進み具合を表示しません\n"
        "  --fail-fast             最初の失敗で止めます\n\n"
        "終了状態: 0 すべて成功、2 失敗したファイルがあるか引数の誤り\n");
}

std::vector<const char*> batchOptionNames()
{
    return {"--chain",  "--chain-file", "-o",      "--in-place",  "-j",
            "--format", "--quality",    "--quiet", "--fail-fast", "--help"};
}

Chain parseChain(const std::string& text)
{
    Chain chain;
    for (const std::string& step : splitSteps(text)) {
        std::vector<std::string> words = splitWords(step);
        if (words.empty())
            continue;
        const Command* command = findCommand(words[0]);
        if (!command)
            throw usageError(
                trFormat("'%s' というコマンドはありません (lumavex-fx --help)", words[0]));
        if (command->files != 2)
            throw usageError(trFormat("%s はチェーンに入れられません", command->name));
        ParsedArguments parsed =
            parseArguments(*command, std::vector<std::string>(words.begin() + 1, words.end()));
        if (parsed.help || !parsed.files.empty())
            throw usageError(trFormat("チェーンの手順にはファイル名を書きません: %s", step));
        const bool setsQuality = parsed.values.count("quality") != 0;
        Invocation invocation(*command, std::move(parsed.values), {});
        invocation.validate();
        if (setsQuality)
            chain.save.quality = jpegQuality(invocation);
        if (!command->shared) {
            // The tool's own commands in a chain only say how the result is written.
            invocation.saveOptions() = chain.save;
            Raster none;
            command->run(invocation, none);
            chain.save = invocation.saveOptions();
            continue;
        }
        ChainStep s{*command->shared, command->settings(invocation), nullptr, command->textHost};
        if (command->hasOption("layer"))
            s.layer = std::make_shared<const Raster>(LoadPicture(invocation.text("layer")));
        chain.steps.push_back(std::move(s));
    }
    if (chain.steps.empty() && text.find_first_not_of(" \t\r\n;") == std::string::npos)
        throw usageError(tr("チェーンが空です"));
    return chain;
}

void applyChain(const Chain& chain, Raster& picture, TextRenderer* renderer)
{
    for (const ChainStep& step : chain.steps) {
        Raster scratch;  // each command starts with a fresh work picture, as a single run does
        CommandPictures pictures{picture, picture, scratch, step.layer.get(), nullptr, renderer};
        lumavex::runCommand(step.id, step.settings, pictures);
    }
}

namespace {

struct BatchOptions {
    std::string chain;
    bool haveChain = false;
    std::string output;  ///< a folder, or a pattern with {name} and {ext}
    int jobs = 0;
    std::string format;
    std::optional<int> quality;
    bool quiet = false;
    bool failFast = false;
    bool inPlace = false;
    std::vector<std::string> inputs;
};

std::string readChainFile(const std::string& fileName)
{
    std::ifstream in(fileName, std::ios::binary);
    if (!in)
        throw Error(ErrorKind::File, trFormat("チェーンのファイルを読めません: %s", fileName));
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

int positiveInteger(const std::string& option, const std::string& value, int low, int high)
{
    const int n = StrToInt(value);
    if (n < low || n > high)
        throw usageError(trFormat("%s は %s から %s までです: ", option, std::to_string(low),
                                  std::to_string(high)) +
                         value);
    return n;
}

BatchOptions parseBatchOptions(const std::vector<std::string>& args)
{
    BatchOptions o;
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string a = args[i];
        if (optionsEnded || a.size() < 2 || a[0] != '-') {
            o.inputs.push_back(a);
            continue;
        }
        if (a == "--") {
            optionsEnded = true;
            continue;
        }
        std::optional<std::string> inlineValue;
        if (const size_t eq = a.find('='); a.compare(0, 2, "--") == 0 && eq != std::string::npos) {
            inlineValue = a.substr(eq + 1);
            a.resize(eq);
        }
        auto flag = [&](bool& target) {
            if (inlineValue)
                throw usageError(trFormat("%s は値をとりません", a));
            target = true;
        };
        auto value = [&]() -> std::string {
            if (inlineValue)
                return *inlineValue;
            if (i + 1 >= args.size())
                throw usageError(trFormat("%s の値がありません", a));
            return args[++i];
        };
        if (a == "--chain") {
            o.chain += value() + "\n";
            o.haveChain = true;
        } else if (a == "--chain-file") {
            o.chain += readChainFile(value()) + "\n";
            o.haveChain = true;
        } else if (a == "-o" || a == "--output") {
            o.output = value();
            if (o.output.empty())
                throw usageError(tr("-o の出力先が空です"));
        } else if (a == "-j" || a == "--jobs") {
            o.jobs = positiveInteger("-j", value(), 1, 1024);
        } else if (a == "--format") {
            o.format = value();
            if (!o.format.empty() && o.format[0] == '.')
                o.format.erase(0, 1);
            if (o.format.empty())
                throw usageError(tr("--format の拡張子が空です"));
        } else if (a == "--quality") {
            o.quality = positiveInteger("--quality", value(), 1, 100);
        } else if (a == "--quiet" || a == "-q") {
            flag(o.quiet);
        } else if (a == "--fail-fast") {
            flag(o.failFast);
        } else if (a == "--in-place") {
            flag(o.inPlace);
        } else {
            throw usageError(trFormat("run に %s というオプションはありません", a));
        }
    }
    if (!o.haveChain)
        throw usageError(tr("--chain か --chain-file を指定してください (lumavex-fx run --help)"));
    if (o.output.empty() && !o.inPlace)
        throw usageError(tr("-o OUTDIR か --in-place を指定してください (lumavex-fx run --help)"));
    if (o.inputs.empty())
        throw usageError(tr("INPUT を指定してください (lumavex-fx run --help)"));
    return o;
}

std::string replaceAll(std::string text, const std::string& from, const std::string& to)
{
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

// Where an input's result goes: into the output folder under the input's name, or where the
// pattern puts it; beside the input with --in-place and no -o. The extension is --format's or
// the input's own.
std::string outputName(const BatchOptions& o, const std::string& input)
{
    const fs::path in(input);
    const std::string name = in.stem().string();
    std::string ext = o.format;
    if (ext.empty()) {
        ext = in.extension().string();
        if (!ext.empty())
            ext.erase(0, 1);
    }
    if (o.output.empty())
        return (in.parent_path() / (ext.empty() ? name : name + "." + ext)).string();
    if (o.output.find("{name}") != std::string::npos || o.output.find("{ext}") != std::string::npos)
        return replaceAll(replaceAll(o.output, "{name}", name), "{ext}", ext);
    return (fs::path(o.output) / (ext.empty() ? name : name + "." + ext)).string();
}

std::string identity(const std::string& fileName)
{
    std::error_code ec;
    fs::path p = fs::weakly_canonical(fs::absolute(fileName), ec);
    return ec ? fs::absolute(fileName).lexically_normal().string() : p.string();
}

// The output file of every input, refusing a run where two inputs would write the same file
// or, without --in-place, where an output would replace an input.
std::vector<std::string> plannedOutputs(const BatchOptions& o)
{
    const bool pattern =
        o.output.find("{name}") != std::string::npos || o.output.find("{ext}") != std::string::npos;
    std::error_code ec;
    if (!o.output.empty() && !pattern && fs::exists(o.output, ec) &&
        !fs::is_directory(o.output, ec))
        throw usageError(trFormat("%s はフォルダではありません", o.output));
    std::map<std::string, size_t> inputs;
    for (size_t i = 0; i < o.inputs.size(); ++i)
        inputs.emplace(identity(o.inputs[i]), i);
    std::vector<std::string> outputs;
    std::map<std::string, size_t> written;
    for (size_t i = 0; i < o.inputs.size(); ++i) {
        const std::string out = savedFileName(outputName(o, o.inputs[i]));
        const std::string id = identity(out);
        if (auto [at, fresh] = written.emplace(id, i); !fresh)
            throw usageError(trFormat("%s と %s が同じファイル %s に書かれます",
                                      o.inputs[at->second], o.inputs[i], out));
        if (auto it = inputs.find(id); it != inputs.end() && !o.inPlace)
            throw usageError(trFormat("%s は入力ファイルです (上書きするには --in-place)", out));
        outputs.push_back(out);
    }
    return outputs;
}

std::string clock(double seconds)
{
    const long s = static_cast<long>(seconds + 0.5);
    char text[32];
    if (s >= 3600)
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
    else
        std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
    return text;
}

// What the run tells on stderr: a line for each failed file, and on a terminal a bar of the
// files done that the lines scroll above.
class Report {
public:
    Report(size_t total, bool bar)
        : m_total(total), m_bar(bar), m_start(std::chrono::steady_clock::now())
    {
        if (m_bar)
            draw();
    }

    void fileDone(bool ok, const std::string& failure)
    {
        std::lock_guard lock(m_mutex);
        ++m_done;
        if (!ok) {
            ++m_failed;
            if (m_bar)
                std::cerr << "\r\033[K";
            std::cerr << "lumavex-fx: " << failure << "\n";
        }
        if (m_bar)
            draw();
    }

    void finish()
    {
        if (m_bar)
            std::cerr << "\n";
        std::cerr.flush();
    }

private:
    void draw()
    {
        const double elapsed =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
        const double rate = elapsed > 0 ? m_done / elapsed : 0;
        constexpr size_t width = 24;
        const size_t filled = m_total ? m_done * width / m_total : width;
        std::ostringstream line;
        line << "\r\033[K[" << std::string(filled, '#') << std::string(width - filled, '-') << "] "
             << m_done << "/" << m_total << " " << tr("完了");
        if (m_failed)
            line << "  " << trFormat("%s 失敗", std::to_string(m_failed));
        if (m_done > 0) {
            char r[32];
            std::snprintf(r, sizeof r, "%.1f", rate);
            line << "  " << trFormat("%s 枚/秒  残り %s", r, clock((m_total - m_done) / rate));
        }
        std::cerr << line.str() << std::flush;
    }

    std::mutex m_mutex;
    const size_t m_total;
    const bool m_bar;
    const std::chrono::steady_clock::time_point m_start;
    size_t m_done = 0;
    size_t m_failed = 0;
};

// Changes and saves one picture, read by load (which may throw); the text of what went wrong,
// or empty.
template <class Load>
std::string processFile(const Chain& chain, const std::string& input, const std::string& output,
                        TextRenderer* renderer, Load&& load)
{
    try {
        Raster picture = load();
        applyChain(chain, picture, renderer);
        const fs::path parent = fs::path(output).parent_path();
        if (!parent.empty()) {
            std::error_code ec;
            fs::create_directories(parent, ec);
        }
        SavePicture(picture, output, chain.save);
        return {};
    } catch (const Error& e) {
        // Reading and writing already name their file; an effect's refusal gets the input's.
        const std::string why = trCoreMessage(e.what());
        if (why.rfind(input + ": ", 0) == 0 || why.rfind(output + ": ", 0) == 0)
            return why;
        return input + ": " + why;
    } catch (const std::bad_alloc&) {
        return input + ": " + tr("メモリが足りません");
    }
}

// The font engine is one per process: text steps take turns with it.
class SharedRenderer : public TextRenderer {
public:
    explicit SharedRenderer(TextRenderer* renderer) : m_renderer(renderer) {}
    void drawText(Raster& picture, int x, int y, std::string_view text, const Font& font,
                  Color color) override
    {
        std::lock_guard lock(m_mutex);
        m_renderer->drawText(picture, x, y, text, font, color);
    }
    TextExtent measure(std::string_view text, const Font& font) override
    {
        std::lock_guard lock(m_mutex);
        return m_renderer->measure(text, font);
    }

private:
    TextRenderer* m_renderer;
    std::mutex m_mutex;
};

// Which inputs may be read ahead of their turn: those that no file of the run writes, so that
// a file read early holds what it would hold at its turn.
std::vector<bool> readableAhead(const BatchOptions& o, const std::vector<std::string>& outputs)
{
    std::set<std::string> written;
    for (const std::string& out : outputs)
        written.insert(identity(out));
    std::vector<bool> ahead;
    for (const std::string& in : o.inputs)
        ahead.push_back(written.count(identity(in)) == 0);
    return ahead;
}

// Runs the files on the workers, each taking the next file when it is done with its own. While a
// worker changes and saves its file, the next file it takes is read on a thread of its own, so
// decoding overlaps the work and the encoding; at most two pictures a worker are in memory.
// Failures are reported in the order the files are done, as without the overlap. Returns
// whether every file was done.
bool processAll(const BatchOptions& o, const Chain& chain, const std::vector<std::string>& outputs,
                TextRenderer* renderer)
{
    const size_t total = o.inputs.size();
    const std::vector<bool> ahead = readableAhead(o, outputs);
    Report report(total, !o.quiet && isatty(STDERR_FILENO));
    std::atomic<size_t> next{0};
    std::atomic<bool> stop{false};
    std::atomic<bool> allDone{true};
    // The next file of a worker, and its picture: read already or being read.
    struct Taken {
        size_t index;
        std::future<Raster> picture;
    };
    auto take = [&]() -> std::optional<Taken> {
        if (stop)
            return std::nullopt;
        const size_t i = next++;
        if (i >= total)
            return std::nullopt;
        if (ahead[i]) {
            try {
                return Taken{i, std::async(std::launch::async,
                                           [&o, i] { return LoadPicture(o.inputs[i]); })};
            } catch (const std::system_error&) {
                // No thread to spare: the file is read at its turn.
            }
        }
        return Taken{i, {}};
    };
    auto worker = [&] {
        for (std::optional<Taken> file = take(); file;) {
            std::optional<Taken> following = take();
            const size_t i = file->index;
            const std::string failure = processFile(chain, o.inputs[i], outputs[i], renderer, [&] {
                return file->picture.valid() ? file->picture.get() : LoadPicture(o.inputs[i]);
            });
            if (!failure.empty()) {
                allDone = false;
                if (o.failFast)
                    stop = true;
            }
            report.fileDone(failure.empty(), failure);
            // A file taken before the run stopped is dropped unreported, as if never taken.
            file = stop ? std::nullopt : std::move(following);
        }
    };
    const size_t count = std::min<size_t>(static_cast<size_t>(o.jobs), total);
    std::vector<std::thread> threads;
    for (size_t t = 1; t < count; ++t)
        threads.emplace_back(worker);
    worker();
    for (auto& t : threads)
        t.join();
    report.finish();
    return allDone && next >= total;
}

}  // namespace

int runBatch(const std::vector<std::string>& args)
{
    if (std::find(args.begin(), args.end(), "--help") != args.end()) {
        std::cout << batchUsage();
        return 0;
    }
    BatchOptions o = parseBatchOptions(args);
    if (o.jobs == 0)
        o.jobs = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    Chain chain = parseChain(o.chain);
    if (o.quality)
        chain.save.quality = *o.quality;
    const std::vector<std::string> outputs = plannedOutputs(o);

    bool ok = false;
    const auto text = std::find_if(chain.steps.begin(), chain.steps.end(),
                                   [](const ChainStep& s) { return bool(s.textHost); });
    if (text == chain.steps.end()) {
        ok = processAll(o, chain, outputs, nullptr);
    } else {
        text->textHost([&](TextRenderer* renderer) {
            SharedRenderer shared(renderer);
            ok = processAll(o, chain, outputs, &shared);
        });
    }
    return ok ? 0 : 2;
}

}  // namespace lumavex::cli
