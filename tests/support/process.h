#pragma once

#include <string>
#include <vector>

namespace lumavex::test {

struct RunResult {
    int status = -1;  ///< exit status, or -1 when the program did not exit normally
    std::string out;
    std::string err;
};

/// Runs a program with arguments (argv[0] is the program) and collects its exit status and
/// output. Extra environment entries ("NAME=value") are added to the current environment.
RunResult runProgram(const std::vector<std::string>& argv,
                     const std::vector<std::string>& environment = {});

}  // namespace lumavex::test
