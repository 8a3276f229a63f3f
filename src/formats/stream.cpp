#include "stream.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

#include "core/error.h"
#include "core/raster.h"

namespace lumavex {

namespace {

std::string systemMessage()
{
    return std::strerror(errno);
}

}  // namespace

void MemoryOutput::write(const void* data, size_t n)
{
    const auto* p = static_cast<const uint8_t*>(data);
    m_bytes.insert(m_bytes.end(), p, p + n);
}

namespace {

// Temporary files being written, for the signal handler to remove. A slot is claimed, then
// its path written, then marked ready, so the handler only ever reads finished paths.
enum SlotState : int { kFree, kClaimed, kReady };
struct PendingTemporary {
    std::atomic<int> state{kFree};
    char path[PATH_MAX] = {};
};
constexpr int kPendingSlots = 16;
PendingTemporary g_pending[kPendingSlots];

extern "C" void removeTemporariesAndDie(int signal)
{
    for (PendingTemporary& slot : g_pending)
        if (slot.state.load() == kReady)
            unlink(slot.path);
    // The usual end for the signal, so the parent sees what killed the program.
    std::signal(signal, SIG_DFL);
    raise(signal);
}

/// Installs the handler for interrupts, terminations and hang-ups that nobody else handles
/// (a signal ignored on purpose, as under nohup, stays ignored).
void installSignalCleanup()
{
    static std::once_flag once;
    std::call_once(once, [] {
        for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
            struct sigaction old {};
            if (sigaction(signal, nullptr, &old) == 0 && old.sa_handler == SIG_DFL &&
                !(old.sa_flags & SA_SIGINFO)) {
                struct sigaction action {};
                action.sa_handler = removeTemporariesAndDie;
                sigemptyset(&action.sa_mask);
                sigaction(signal, &action, nullptr);
            }
        }
    });
}

int claimSlot(const std::string& path)
{
    if (path.size() >= PATH_MAX)
        return -1;
    for (int i = 0; i < kPendingSlots; ++i) {
        int expected = kFree;
        if (g_pending[i].state.compare_exchange_strong(expected, kClaimed)) {
            std::memcpy(g_pending[i].path, path.c_str(), path.size() + 1);
            g_pending[i].state.store(kReady);
            return i;
        }
    }
    return -1;  // only the destructor removes this one
}

void releaseSlot(int slot)
{
    if (slot >= 0)
        g_pending[slot].state.store(kFree);
}

constexpr const char* kTag = "lvx";

/// The process id in one of our temporary names beside target, or 0: ".NAME.lvxPID.XXXXXX",
/// or for long names ".lvxPID.XXXXXX".
long temporaryOwner(const std::string& entry, const std::string& name)
{
    std::string rest;
    const std::string longPrefix = "." + name + "." + kTag;
    const std::string shortPrefix = std::string(".") + kTag;
    if (entry.rfind(longPrefix, 0) == 0)
        rest = entry.substr(longPrefix.size());
    else if (entry.rfind(shortPrefix, 0) == 0)
        rest = entry.substr(shortPrefix.size());
    else
        return 0;
    const size_t dot = rest.find('.');
    if (dot == 0 || dot == std::string::npos || rest.size() - dot - 1 != 6)
        return 0;
    long pid = 0;
    for (size_t i = 0; i < dot; ++i) {
        if (rest[i] < '0' || rest[i] > '9' || pid > 100000000)
            return 0;
        pid = pid * 10 + (rest[i] - '0');
    }
    return pid;
}

/// Removes temporary files that a save killed on the spot left beside the target: ours (our
/// user's regular files named as we name them) whose process is gone.
void removeStaleTemporaries(const std::string& folder, const std::string& name)
{
    DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
    if (!dir)
        return;
    while (const dirent* e = readdir(dir)) {
        const long pid = temporaryOwner(e->d_name, name);
        if (pid <= 0 || pid == getpid() || kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH)
            continue;
        const std::string path = folder + e->d_name;
        struct stat st;
        if (lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == geteuid())
            unlink(path.c_str());
    }
    closedir(dir);
}

}  // namespace

AtomicFileOutput::AtomicFileOutput(const std::string& target) : m_target(target)
{
    const size_t slash = target.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "" : target.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    installSignalCleanup();
    removeStaleTemporaries(folder, name);
    const std::string owner = kTag + std::to_string(getpid());
    // A name near the longest allowed gets a short temporary name of its own.
    std::string temporaryName = "." + name + "." + owner + ".XXXXXX";
    if (temporaryName.size() > NAME_MAX)
        temporaryName = "." + owner + ".XXXXXX";
    std::string pattern = folder + temporaryName;
    const int fd = mkstemp(pattern.data());
    if (fd < 0)
        throw Error(ErrorKind::File, target + ": 書き込めません (" + systemMessage() + ")");
    m_temporary = pattern;
    m_slot = claimSlot(m_temporary);
    // Keep the permissions of the file being replaced, and its group where we may; never the
    // set-id or sticky bits, as the new file belongs to whoever saves. A new file gets the
    // usual permissions.
    struct stat old;
    if (stat(target.c_str(), &old) == 0) {
        if (fchown(fd, static_cast<uid_t>(-1), old.st_gid) != 0) {
            // Not a group of ours: the new file keeps our own.
        }
        fchmod(fd, old.st_mode & 0777);
    } else {
        const mode_t mask = umask(0);
        umask(mask);
        fchmod(fd, 0666 & ~mask);
    }
    m_file = fdopen(fd, "wb");
    if (!m_file) {
        close(fd);
        releaseSlot(m_slot);
        unlink(m_temporary.c_str());
        throw Error(ErrorKind::File, target + ": 書き込めません (" + systemMessage() + ")");
    }
    std::setvbuf(m_file, nullptr, _IOFBF, 1 << 20);
}

AtomicFileOutput::~AtomicFileOutput()
{
    if (m_file)
        std::fclose(m_file);
    if (!m_committed)
        unlink(m_temporary.c_str());
    releaseSlot(m_slot);
}

void AtomicFileOutput::write(const void* data, size_t n)
{
    if (n != 0 && std::fwrite(data, 1, n, m_file) != n)
        throw Error(ErrorKind::File,
                    m_target + ": 書き込みに失敗しました (" + systemMessage() + ")");
}

void AtomicFileOutput::commit()
{
    const bool flushed = std::fflush(m_file) == 0 && fsync(fileno(m_file)) == 0;
    const bool closed = std::fclose(m_file) == 0;
    m_file = nullptr;
    if (!flushed || !closed)
        throw Error(ErrorKind::File,
                    m_target + ": 書き込みに失敗しました (" + systemMessage() + ")");
    if (std::rename(m_temporary.c_str(), m_target.c_str()) != 0)
        throw Error(ErrorKind::File, m_target + ": 保存できません (" + systemMessage() + ")");
    m_committed = true;
    releaseSlot(m_slot);
    m_slot = -1;
}

std::vector<uint8_t> readWholeFile(const std::string& fileName)
{
    // A FIFO or a device would block the open or the reads forever: only regular files are
    // opened, and without waiting, in case the name is swapped for something else meanwhile.
    struct stat st;
    if (stat(fileName.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
        throw Error(ErrorKind::File, fileName + ": 通常のファイルではありません");
    const int fd = open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        throw Error(ErrorKind::File, fileName + ": 開けません (" + systemMessage() + ")");
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        throw Error(ErrorKind::File, fileName + ": 通常のファイルではありません");
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    constexpr off_t limit = off_t{1} << 31;
    if (st.st_size > limit) {
        close(fd);
        throw Error(ErrorKind::TooLarge, fileName + ": ファイルが大きすぎます (2 GiB まで)");
    }
    std::vector<uint8_t> bytes;
    bytes.reserve(static_cast<size_t>(st.st_size));
    adviseHugePages(bytes.data(), bytes.capacity());
    bytes.resize(static_cast<size_t>(st.st_size));
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = read(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const std::string why = n < 0 ? systemMessage() : "途中で終わっています";
            close(fd);
            throw Error(ErrorKind::File, fileName + ": 読めません (" + why + ")");
        }
        done += static_cast<size_t>(n);
    }
    close(fd);
    return bytes;
}

}  // namespace lumavex
