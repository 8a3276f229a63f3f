#include "parallel.h"

#include <cstdint>
#include <cstdlib>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace lumavex {

int passThreads()
{
    if (const char* text = std::getenv("LUMAVEX_THREADS")) {
        char* end = nullptr;
        const long n = std::strtol(text, &end, 10);
        if (end != text && *end == '\0' && n > 0)
            return n > 256 ? 256 : static_cast<int>(n);
    }
    const unsigned cores = std::thread::hardware_concurrency();
    return cores == 0 ? 1 : static_cast<int>(cores);
}

void forEachBand(int rows, int threads, const std::function<void(int first, int last)>& band)
{
    if (rows <= 0)
        return;
    const int bands = threads < 1 ? 1 : threads > rows ? rows : threads;
    if (bands == 1) {
        band(0, rows);
        return;
    }
    std::exception_ptr failure;
    std::mutex failureLock;
    auto run = [&](int first, int last) {
        try {
            band(first, last);
        } catch (...) {
            const std::lock_guard lock(failureLock);
            if (!failure)
                failure = std::current_exception();
        }
    };
    {
        std::vector<std::jthread> workers;
        workers.reserve(static_cast<size_t>(bands - 1));
        // Band k holds rows k * rows / bands up to (k + 1) * rows / bands.
        for (int k = 1; k < bands; ++k)
            workers.emplace_back(run, static_cast<int>(int64_t{rows} * k / bands),
                                 static_cast<int>(int64_t{rows} * (k + 1) / bands));
        run(0, static_cast<int>(int64_t{rows} / bands));
    }
    if (failure)
        std::rethrow_exception(failure);
}

}  // namespace lumavex
