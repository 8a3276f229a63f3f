#pragma once
// Runs hostile work in a child process and measures what it cost.

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace lumavex::test {

struct BoundedResult {
    int exitCode = -1;  ///< the work's result, or -1 when the child did not exit normally
    double seconds = 0;
    uint64_t peakBytes = 0;   ///< the child's largest resident set
    uint64_t extraBytes = 0;  ///< how far that went beyond what the parent held at the start
};

/// The resident set of this process.
inline uint64_t residentBytes()
{
    long pages = 0;
    long resident = 0;
    if (std::FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return uint64_t(resident) * uint64_t(sysconf(_SC_PAGESIZE));
}

/// Runs work() in a forked child and returns its result (0 to 255), time and peak memory. The
/// child is killed after killSeconds of processor time, so a runaway decoder cannot hang the test.
template <class Work>
BoundedResult runBounded(Work work, int killSeconds = 60)
{
    const auto start = std::chrono::steady_clock::now();
    const uint64_t before = residentBytes();
    const pid_t pid = fork();
    if (pid == 0) {
        // The peak starts again from here.
        if (std::FILE* f = std::fopen("/proc/self/clear_refs", "w")) {
            std::fputs("5", f);
            std::fclose(f);
        }
        const rlimit cpu{rlim_t(killSeconds), rlim_t(killSeconds)};
        setrlimit(RLIMIT_CPU, &cpu);
        _exit(work());
    }
    BoundedResult result;
    int status = 0;
    rusage usage{};
    if (pid < 0 || wait4(pid, &status, 0, &usage) != pid)
        return result;
    result.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    result.peakBytes = uint64_t(usage.ru_maxrss) * 1024;
    result.extraBytes = result.peakBytes > before ? result.peakBytes - before : 0;
    if (WIFEXITED(status))
        result.exitCode = WEXITSTATUS(status);
    return result;
}

// Goals with room for sanitizer and debug builds: they fail only far beyond what is intended
// (10 s and 2 GiB for any file).
constexpr double kHostileSecondsLimit = 30;
constexpr uint64_t kHostileBytesLimit = (uint64_t{2} << 30) + (uint64_t{512} << 20);

}  // namespace lumavex::test
