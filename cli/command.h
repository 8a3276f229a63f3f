#pragma once

#include <functional>
#include <future>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "commands/command_table.h"
#include "core/error.h"
#include "core/raster.h"
#include "formats/picture_io.h"

namespace lumavex::cli {

enum class OptionType {
    Integer,  ///< decimal, through the strict integer conversion
    Color,    ///< #RRGGBB, #RGB or a colour name
    Text,     ///< any text
    Flag,     ///< present or not, takes no value
    Rect,     ///< X,Y,W,H
};

struct OptionDef {
    std::string name;  ///< without the leading "--"
    OptionType type;
    std::string defaultValue;  ///< as typed; empty with required or optional options
    std::string help;
    bool required = false;
    /// For Integer options: the only values accepted (empty: any).
    std::vector<int> choices = {};
};

class Invocation;

/// Runs work with a font engine (the text commands start Qt's), or with none.
using TextHost = std::function<void(const std::function<void(TextRenderer*)>& work)>;

/// One command of the tool: either one of the commands the editor shares, whose settings the
/// options fill, or one of the tool's own (save, num-colors).
struct Command {
    std::string name;
    std::string summary;
    std::vector<OptionDef> options;
    /// The positional file names it takes: 2 (INPUT OUTPUT) or 1 (INPUT).
    int files = 2;
    /// The tool's own commands: turns the input picture into the output picture (commands with
    /// an OUTPUT), or prints (commands with INPUT only).
    std::function<void(Invocation&, Raster& picture)> run = {};
    /// The shared commands: which one, and its settings read from the options. The picture of
    /// the --layer option, where the command has one, is the floating picture.
    std::optional<CommandId> shared = {};
    std::function<Settings(const Invocation&)> settings = {};
    /// Where the text commands get their font engine.
    TextHost textHost = {};
    /// The command changes only how the picture is written (save): run sets the save options and
    /// the input is copied to the output, decoding and encoding overlapping where they can.
    bool keepsPicture = false;

    bool hasOption(const std::string& name) const;
};

/// A shared command as a row of the tool: its name, options and how they fill its settings.
Command sharedCommand(CommandId id, std::string summary, std::vector<OptionDef> options,
                      std::function<Settings(const Invocation&)> settings);

/// The commands known to the tool, in the order --help lists them.
std::vector<Command>& commandTable();

/// Adds a family of commands. Each family registers itself from its own source file.
struct CommandFamily {
    explicit CommandFamily(std::vector<Command> commands);
};

/// The parsed options of one run, converted when read.
class Invocation {
public:
    Invocation(const Command& command, std::map<std::string, std::string> values,
               std::vector<std::string> files);

    int integer(const std::string& name) const;
    Color color(const std::string& name) const;
    std::string text(const std::string& name) const;
    bool flag(const std::string& name) const;
    /// An optional Rect option: empty when it was not given.
    std::optional<Rect> rect(const std::string& name) const;
    /// Whether an option was given or has a default.
    bool has(const std::string& name) const;

    const std::string& input() const { return m_files.at(0); }
    const std::string& output() const { return m_files.at(1); }
    /// Reads another picture file named by an option (merge's --layer, say).
    Raster loadPicture(const std::string& fileName) const;

    /// How the output is written; commands may change it before they return.
    SaveOptions& saveOptions() { return m_saveOptions; }
    const SaveOptions& saveOptions() const { return m_saveOptions; }

    /// Converts every option once, so that a bad value is reported before any file is read.
    void validate() const;

private:
    const OptionDef& definition(const std::string& name) const;
    const std::string* raw(const std::string& name) const;

    const Command& m_command;
    std::map<std::string, std::string> m_values;
    std::vector<std::string> m_files;
    SaveOptions m_saveOptions;
};

/// The --quality of a command that writes a picture. Throws Error(BadArgument) outside 1..100.
int jpegQuality(const Invocation& invocation);

/// The TIFF compression named by --compression. Throws Error(BadArgument) for another name.
TiffCompression tiffCompression(const std::string& name);

/// Parses #RRGGBB, #RGB (case-insensitive hex digits) or a colour name into a colour value. Throws Error(BadArgument).
Color parseColor(const std::string& text);

/// A usage error: Error(BadArgument) with the message.
Error usageError(const std::string& message);

/// The command with the name, or null.
const Command* findCommand(const std::string& name);

/// A command's arguments split into option values and file names (or a request for help).
struct ParsedArguments {
    std::map<std::string, std::string> values;
    std::vector<std::string> files;
    bool help = false;
};

/// Splits a command's arguments. Throws Error(BadArgument) for an unknown option, a flag given
/// a value or an option without one.
ParsedArguments parseArguments(const Command& command, const std::vector<std::string>& args);

/// Does what the editor's one-click command does to a document's main picture. The --layer
/// picture is read now, or taken from layer when the caller has it read already.
void applyCommand(const Command& command, Invocation& invocation, Raster& picture,
                  std::future<Raster>* layer = nullptr);

/// Runs the tool; returns the exit status (0 success, 2 any error).
int runTool(const std::vector<std::string>& args);

}  // namespace lumavex::cli
