#include "process.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

#include "test_pictures.h"

extern char** environ;

namespace lumavex::test {

RunResult runProgram(const std::vector<std::string>& argv,
                     const std::vector<std::string>& environment)
{
    TempDir dir;
    const std::string outName = dir.file("out");
    const std::string errName = dir.file("err");
    const pid_t pid = fork();
    if (pid < 0)
        throw std::runtime_error("fork failed");
    if (pid == 0) {
        const int out = open(outName.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = open(errName.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(out, 1);
        dup2(err, 2);
        for (const auto& e : environment)
            putenv(const_cast<char*>(e.c_str()));
        std::vector<char*> args;
        for (const auto& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    RunResult result;
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.out = readFile(outName);
    result.err = readFile(errName);
    return result;
}

}  // namespace lumavex::test
