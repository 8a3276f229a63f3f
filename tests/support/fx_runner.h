#pragma once
// Running the lumavex-fx binary of the build from the command-line tests (which define
// LUMAVEX_FX as its path).

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/process.h"
#include "support/test_pictures.h"

namespace lumavex::test {

/// Runs lumavex-fx with the arguments under a Japanese locale, the language its messages are
/// written in; extra environment entries ("NAME=value") come after it and may replace it.
inline RunResult fx(std::vector<std::string> args, const std::vector<std::string>& environment = {})
{
    args.insert(args.begin(), LUMAVEX_FX);
    std::vector<std::string> env = {"LC_ALL=ja_JP.UTF-8"};
    env.insert(env.end(), environment.begin(), environment.end());
    return runProgram(args, env);
}

/// Checks a refused run: status 2 and a single line on stderr that begins "lumavex-fx: ".
/// The context names the case in failure messages.
inline void expectOneLineRefusal(const RunResult& r, const std::string& context)
{
    EXPECT_EQ(r.status, 2) << context << ": " << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << context << ": " << r.err;
    EXPECT_EQ(r.err.rfind("lumavex-fx: ", 0), 0u) << context << ": " << r.err;
}

/// A temporary folder with the input and output file names the commands are run on.
class FxTest : public ::testing::Test {
protected:
    TempDir dir;
    const std::string input = dir.file("in.bmp");
    const std::string output = dir.file("out.bmp");
};

}  // namespace lumavex::test
