// The command-line tool's option parser: the first byte picks the command, the rest is split
// at zero bytes into its arguments, which are parsed and checked as a run would, without touching any file.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "command.h"
#include "core/error.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace lumavex::cli;
    if (size == 0)
        return 0;
    const Command& command = commandTable()[data[0] % commandTable().size()];
    std::vector<std::string> args;
    if (size > 1)
        args.emplace_back();
    for (size_t i = 1; i < size; ++i) {
        if (data[i] == 0)
            args.emplace_back();
        else
            args.back().push_back(static_cast<char>(data[i]));
    }
    try {
        ParsedArguments parsed = parseArguments(command, args);
        if (!parsed.help)
            Invocation(command, parsed.values, parsed.files).validate();
    } catch (const lumavex::Error&) {
    }
    return 0;
}
