#pragma once

#include <cstddef>
#include <functional>

namespace lumavex {

/// How many threads whole-picture passes use: LUMAVEX_THREADS when it is a positive integer,
/// otherwise the number of cores (at least one).
int passThreads();

/// The fewest rows forEachBand(rows, band) gives a band, and the fewest bytes bandsFor gives
/// one: below that, waking a thread costs more than the band's work.
constexpr int kMinBandRows = 8;
constexpr size_t kMinBandBytes = size_t{64} << 10;

/// How many bands a pass over rows rows of rowBytes bytes each is split into: one for one
/// thread, otherwise kBandsPerThread for each of passThreads(), so that a thread the system holds back leaves its share to the
/// others, but no more than leave every band kMinBandBytes (and a row), and at least one.
constexpr int kBandsPerThread = 3;
int bandsFor(int rows, size_t rowBytes);

/// Runs band(first, last) over rows 0 .. rows - 1 split into min(bands, rows) bands of adjacent
/// rows (band k holds rows k x rows / n up to (k + 1) x rows / n), on at most passThreads()
/// threads: those of a pool kept for the program's life and the caller's, which runs bands
/// too; each thread takes the next band nobody has taken. Every band has
/// finished when it returns; the first exception a band throws is thrown again here, after
/// the other bands have run. band must write only to its own rows, so that the result is the
/// same whatever the number of bands. Any thread may call it, several at once; called from
/// within a band, it runs its bands one after the other on that thread.
void forEachBand(int rows, int bands, const std::function<void(int first, int last)>& band);

/// forEachBand with as many bands as bandsFor would give, each of kMinBandRows rows or more.
void forEachBand(int rows, const std::function<void(int first, int last)>& band);

}  // namespace lumavex
