#pragma once
// lumavex-fx run: a chain of commands applied to many pictures, each in memory from its load to
// its save, on several threads.

#include <memory>
#include <string>
#include <vector>

#include "command.h"

namespace lumavex::cli {

/// One step of a chain: a shared command and its settings, with its --layer picture.
struct ChainStep {
    CommandId id;
    Settings settings;
    std::shared_ptr<const Raster> layer;  ///< the floating picture, for merge and mix-paste
    TextHost textHost;                    ///< set for the text commands
};

/// The steps in order, and how the result is written (a save step sets it).
struct Chain {
    std::vector<ChainStep> steps;
    SaveOptions save;
};

/// Reads a chain: steps separated by ';' or line breaks, each a command name and its options
/// as on the command line ("panel --width 8"), with '...' and "..." quoting. Lines starting
/// with '#' are comments. Throws Error(BadArgument) for an unknown command or option, a bad
/// value or an empty chain; reads the --layer pictures.
Chain parseChain(const std::string& text);

/// Applies the chain to a picture, as the single commands would one after another.
void applyChain(const Chain& chain, Raster& picture, TextRenderer* renderer);

/// The help of run, in the user's language.
std::string batchUsage();
/// The options of run, for shell completion.
std::vector<const char*> batchOptionNames();

/// Runs "lumavex-fx run ARGS"; returns the exit status (0 every file done, 2 otherwise).
int runBatch(const std::vector<std::string>& args);

}  // namespace lumavex::cli
