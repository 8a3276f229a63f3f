#include "stream.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
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

AtomicFileOutput::AtomicFileOutput(const std::string& target) : m_target(target)
{
    const size_t slash = target.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "" : target.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    std::string pattern = folder + "." + name + ".XXXXXX";
    const int fd = mkstemp(pattern.data());
    if (fd < 0)
        throw Error(ErrorKind::File, target + ": 書き込めません (" + systemMessage() + ")");
    m_temporary = pattern;
    // Keep the permissions of the file being replaced; a new file gets the usual ones.
    struct stat old;
    if (stat(target.c_str(), &old) == 0) {
        fchmod(fd, old.st_mode & 07777);
    } else {
        const mode_t mask = umask(0);
        umask(mask);
        fchmod(fd, 0666 & ~mask);
    }
    m_file = fdopen(fd, "wb");
    if (!m_file) {
        close(fd);
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
}

std::vector<uint8_t> readWholeFile(const std::string& fileName)
{
    const int fd = open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw Error(ErrorKind::File, fileName + ": 開けません (" + systemMessage() + ")");
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        throw Error(ErrorKind::File, fileName + ": 通常のファイルではありません");
    }
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
