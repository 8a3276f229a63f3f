#pragma once

#include <functional>

namespace lumavex {

/// How many threads whole-picture passes use: LUMAVEX_THREADS when it is a positive integer,
/// otherwise the number of cores (at least one).
int passThreads();

/// Runs band(first, last) over rows 0 .. rows - 1 split into at most threads bands of adjacent
/// rows, each on a thread of its own (the first on the caller's). Every band has finished when
/// it returns; the first exception a band throws is thrown again here. band must write only to
/// its own rows, so that the result is the same whatever the number of threads.
void forEachBand(int rows, int threads, const std::function<void(int first, int last)>& band);

/// forEachBand with passThreads() threads.
inline void forEachBand(int rows, const std::function<void(int first, int last)>& band)
{
    forEachBand(rows, passThreads(), band);
}

}  // namespace lumavex
