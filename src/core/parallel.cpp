#include "parallel.h"

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <exception>
#include <mutex>
#include <stop_token>
#include <system_error>
#include <thread>
#include <vector>

namespace lumavex {

namespace {

// At most this many pool threads; more bands than threads are taken in turn.
constexpr int kMaxWorkers = 63;

// Whether this thread is running a band (nested calls then run inline).
thread_local bool t_inBand = false;

// One call of forEachBand: its bands are claimed one at a time under the pool's lock.
struct Job {
    const std::function<void(int, int)>* band = nullptr;
    int rows = 0;
    int bands = 0;
    int next = 0;        // the next band nobody has claimed
    int helpers = 0;     // pool threads that may still join
    int unfinished = 0;  // bands not yet finished
    std::exception_ptr failure;
    std::condition_variable finished;
};

int bandStart(const Job& job, int k)
{
    return static_cast<int>(int64_t{job.rows} * k / job.bands);
}

class Pool {
public:
    // Runs the job's bands on this thread and up to `threads - 1` pool threads.
    void run(Job& job, int threads)
    {
        std::unique_lock lock(m_lock);
        int wanted = std::min({threads, job.bands, kMaxWorkers + 1}) - 1;
        try {
            while (static_cast<int>(m_workers.size()) < wanted)
                m_workers.emplace_back([this](std::stop_token stop) { work(stop); });
        } catch (const std::system_error&) {
            // Out of threads: the ones there are (and the caller) take every band.
            wanted = std::min(wanted, static_cast<int>(m_workers.size()));
        }
        job.helpers = wanted;
        if (wanted > 0)
            m_jobs.push_back(&job);
        lock.unlock();
        for (int k = 0; k < wanted; ++k)
            m_wake.notify_one();
        lock.lock();
        runBands(job, lock);
        job.finished.wait(lock, [&] { return job.unfinished == 0; });
    }

    ~Pool()
    {
        for (std::jthread& worker : m_workers)
            worker.request_stop();
        m_wake.notify_all();
    }

private:
    void work(std::stop_token stop)
    {
        t_inBand = true;
        std::unique_lock lock(m_lock);
        for (;;) {
            if (!m_wake.wait(lock, stop, [&] { return !m_jobs.empty(); }))
                return;
            Job& job = *m_jobs.front();
            if (--job.helpers == 0)
                m_jobs.pop_front();
            runBands(job, lock);
        }
    }

    // Claims and runs bands until none is left, the lock held between bands. Once its last band
    // is claimed the job leaves the queue; once the last finishes its caller may return, so the
    // job is not touched after that.
    void runBands(Job& job, std::unique_lock<std::mutex>& lock)
    {
        while (job.next < job.bands) {
            const int k = job.next++;
            if (job.next == job.bands)
                std::erase(m_jobs, &job);
            lock.unlock();
            std::exception_ptr failure;
            const bool nested = t_inBand;
            t_inBand = true;
            try {
                (*job.band)(bandStart(job, k), bandStart(job, k + 1));
            } catch (...) {
                failure = std::current_exception();
            }
            t_inBand = nested;
            lock.lock();
            if (failure && !job.failure)
                job.failure = failure;
            if (--job.unfinished == 0)
                job.finished.notify_all();
        }
    }

    std::mutex m_lock;
    std::condition_variable_any m_wake;
    std::deque<Job*> m_jobs;
    // Declared last, so that the threads stop before the queue and the lock go.
    std::vector<std::jthread> m_workers;
};

Pool& pool()
{
    static Pool instance;
    return instance;
}

}  // namespace

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

int bandsFor(int rows, size_t rowBytes)
{
    const uint64_t bytes = uint64_t(std::max(rows, 0)) * std::max<size_t>(rowBytes, 1);
    const uint64_t most = std::max<uint64_t>(1, bytes / kMinBandBytes);
    const int threads = passThreads();
    const auto bands = static_cast<uint64_t>(threads == 1 ? 1 : kBandsPerThread * threads);
    return static_cast<int>(std::min(most, bands));
}

void forEachBand(int rows, int bands, const std::function<void(int first, int last)>& band)
{
    if (rows <= 0)
        return;
    Job job;
    job.band = &band;
    job.rows = rows;
    job.bands = std::clamp(bands, 1, rows);
    job.unfinished = job.bands;
    const int threads = std::min(job.bands, passThreads());
    if (threads == 1 || t_inBand) {
        for (int k = 0; k < job.bands; ++k) {
            try {
                band(bandStart(job, k), bandStart(job, k + 1));
            } catch (...) {
                if (!job.failure)
                    job.failure = std::current_exception();
            }
        }
    } else {
        pool().run(job, threads);
    }
    if (job.failure)
        std::rethrow_exception(job.failure);
}

void forEachBand(int rows, const std::function<void(int first, int last)>& band)
{
    const int threads = passThreads();
    const int bands = threads == 1 ? 1 : kBandsPerThread * threads;
    forEachBand(rows, std::min(bands, std::max(1, rows / kMinBandRows)), band);
}

}  // namespace lumavex
