#include "formats/spi_plugin.h"

#include <dlfcn.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "core/error.h"
#include "formats/bmp.h"
#include "formats/plugin_dib.h"

namespace lumavex {

namespace {

std::chrono::milliseconds g_silenceLimit{60000};

template <typename Function>
Function lookUp(void* library, const char* name)
{
    return reinterpret_cast<Function>(dlsym(library, name));
}

/// Frees a plug-in's block however the call that filled it ends.
struct LocalBlock {
    LvxLocalHandle handle = 0;
    ~LocalBlock()
    {
        if (handle) {
            lvx_local_unlock(handle);
            lvx_local_free(handle);
        }
    }
    std::span<const uint8_t> bytes() const
    {
        const void* p = lvx_local_lock(handle);
        return p ? std::span(static_cast<const uint8_t*>(p), lvx_local_size(handle))
                 : std::span<const uint8_t>();
    }
};

bool writeAll(int fd, const uint8_t* data, size_t size)
{
    for (size_t done = 0; done < size;) {
        const ssize_t n = write(fd, data + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

/// The child's side of the progress reports: each new percentage goes up the result pipe as
/// 'p' and the percentage, and the child waits for the parent's answer, 0 to go on, 1 to stop.
struct ProgressChannel {
    int reports = -1;
    int answers = -1;
    int lastPercent = -1;
    bool stop = false;
};

int32_t reportProgress(int32_t done, int32_t total, intptr_t context)
{
    if (context == 0)
        return 0;
    auto* channel = reinterpret_cast<ProgressChannel*>(context);
    if (channel->answers < 0 || total <= 0)
        return channel->stop;
    // MulDiv(done, 98, total) + 1, rounded as MulDiv rounds, kept within 1 to 99.
    const int64_t scaled = (int64_t{std::clamp(done, 0, total)} * 98 + total / 2) / total + 1;
    const int percent = static_cast<int>(scaled);
    if (percent == channel->lastPercent)
        return channel->stop;
    channel->lastPercent = percent;
    const uint8_t report[2] = {'p', static_cast<uint8_t>(percent)};
    uint8_t answer = 1;
    if (!writeAll(channel->reports, report, 2))
        return 1;
    while (true) {
        const ssize_t n = read(channel->answers, &answer, 1);
        if (n == 1)
            break;
        if (n < 0 && errno == EINTR)
            continue;
        return 1;
    }
    channel->stop = answer != 0;
    return channel->stop;
}

}  // namespace

void SpiPlugin::setSilenceLimit(std::chrono::milliseconds limit)
{
    g_silenceLimit =
        std::clamp(limit, std::chrono::milliseconds{1}, std::chrono::milliseconds{INT32_MAX});
}

SpiPlugin::SpiPlugin(const std::string& path) : m_fileName(path)
{
    m_library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!m_library)
        throw Error(ErrorKind::File, path + ":Susie Pluginがロードできませんでした");
    try {
        m_getPluginInfo = lookUp<LvxGetPluginInfo>(m_library, "GetPluginInfo");
        m_isSupported = lookUp<LvxIsSupported>(m_library, "IsSupported");
        m_getPictureInfo = lookUp<LvxGetPictureInfo>(m_library, "GetPictureInfo");
        m_getPicture = lookUp<LvxGetPicture>(m_library, "GetPicture");
        require(reinterpret_cast<const void*>(m_getPluginInfo), "GetPluginInfo");
        m_apiVersion = info(0);
        m_name = info(1);
        m_kind = m_apiVersion == "00IN"   ? Kind::Import
                 : m_apiVersion == "00AM" ? Kind::Archive
                 : m_apiVersion == "00XN" ? Kind::Extension
                                          : Kind::Other;
        if (m_kind == Kind::Import || m_kind == Kind::Archive)
            require(reinterpret_cast<const void*>(m_isSupported), "IsSupported");
        if (m_kind == Kind::Import) {
            require(reinterpret_cast<const void*>(m_getPictureInfo), "GetPictureInfo");
            require(reinterpret_cast<const void*>(m_getPicture), "GetPicture");
        }
        if (m_kind == Kind::Archive)
            for (const char* name : {"GetArchiveInfo", "GetFileInfo", "GetFile"})
                require(dlsym(m_library, name), name);
        for (int n = 2;; n += 2) {
            std::string filter = info(n), description = info(n + 1);
            if (filter.empty() || description.empty())
                break;
            m_filters.push_back(std::move(filter));
            m_descriptions.push_back(std::move(description));
        }
    } catch (...) {
        dlclose(m_library);
        throw;
    }
}

SpiPlugin::~SpiPlugin()
{
    dlclose(m_library);
}

void SpiPlugin::require(const void* function, const char* name) const
{
    if (!function)
        throw Error(ErrorKind::Unsupported,
                    std::string(name) + "は[" + m_fileName + "]では使えないSusie Plugin APIです");
}

std::string SpiPlugin::info(int number) const
{
    char buffer[256] = {};
    if (m_getPluginInfo(number, buffer, 255) <= 0)
        return {};
    buffer[255] = 0;
    return buffer;
}

std::optional<Raster> SpiPlugin::decode(std::span<const uint8_t> data, const std::string& fileName,
                                        bool skipMacHeader, const SpiProgress& progress) const
{
    if (m_kind != Kind::Import)
        return std::nullopt;
    if (progress)
        progress(SpiStage::Start, 0);
    std::optional<Raster> picture = decodeOnce(data, fileName, progress);
    if (!picture && skipMacHeader && data.size() > 128)
        picture = decodeOnce(data.subspan(128), fileName, progress);
    if (progress)
        progress(SpiStage::End, 100);
    return picture;
}

std::optional<Raster> SpiPlugin::decodeOnce(std::span<const uint8_t> data,
                                            const std::string& fileName,
                                            const SpiProgress& progress) const
{
    // The plug-in runs in a child process of its own, so that one that crashes or scribbles
    // over memory cannot take the program's open documents with it. The child reports progress
    // as 'p' and a percentage, waiting for an answer on a second pipe, and ends with 'r', a byte
    // (1 decoded, 2 blocks that do not add up, 0 not read) and the BMP file image of the blocks.
    int results[2], answers[2] = {-1, -1};
    if (pipe(results) != 0)
        return std::nullopt;
    if (progress && pipe(answers) != 0) {
        close(results[0]);
        close(results[1]);
        return std::nullopt;
    }
    auto closeAll = [&] {
        for (const int fd : {results[0], results[1], answers[0], answers[1]})
            if (fd >= 0)
                close(fd);
    };
    const pid_t child = fork();
    if (child < 0) {
        closeAll();
        return std::nullopt;
    }
    if (child == 0) {
        close(results[0]);
        if (answers[1] >= 0)
            close(answers[1]);
        ProgressChannel channel{results[1], answers[0]};
        std::vector<uint8_t> out = {'r', 0};
        try {
            if (auto file = decodeHere(data, fileName, reinterpret_cast<intptr_t>(&channel))) {
                out[1] = 1;
                out.insert(out.end(), file->begin(), file->end());
            }
        } catch (...) {
            out = {'r', 2};
        }
        _exit(writeAll(results[1], out.data(), out.size()) ? 0 : 1);
    }
    close(results[1]);
    results[1] = -1;
    if (answers[0] >= 0) {
        close(answers[0]);
        answers[0] = -1;
    }
    std::vector<uint8_t> in;
    bool result = false;
    bool failed = false;
    try {
        uint8_t buffer[65536];
        while (true) {
            // A plug-in silent for too long is stuck: it is stopped like one that crashed.
            pollfd ready = {results[0], POLLIN, 0};
            const int polled = poll(&ready, 1, static_cast<int>(g_silenceLimit.count()));
            if (polled == 0) {
                failed = true;
                break;
            }
            if (polled < 0 && errno != EINTR)
                break;
            if (polled < 0)
                continue;
            const ssize_t n = read(results[0], buffer, sizeof buffer);
            if (n == 0)
                break;
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                break;
            }
            in.insert(in.end(), buffer, buffer + n);
            // Until the result starts, the child sends only reports, each waiting for an answer.
            while (!result && !in.empty()) {
                if (in[0] == 'r') {
                    result = true;
                    in.erase(in.begin());
                } else if (in[0] == 'p' && in.size() >= 2 && progress && answers[1] >= 0) {
                    const uint8_t answer = progress(SpiStage::Running, in[1]) ? 0 : 1;
                    in.erase(in.begin(), in.begin() + 2);
                    if (!writeAll(answers[1], &answer, 1))
                        failed = true;
                } else if (in[0] == 'p' && in.size() < 2) {
                    break;
                } else {
                    failed = true;
                    break;
                }
            }
            if (failed)
                break;
        }
    } catch (...) {
        kill(child, SIGKILL);
        closeAll();
        while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
        }
        throw;
    }
    if (failed)
        kill(child, SIGKILL);
    closeAll();
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (failed || !result || !WIFEXITED(status) || WEXITSTATUS(status) != 0 || in.empty() ||
        in[0] == 0)
        return std::nullopt;
    if (in[0] != 1)
        throw Error(ErrorKind::Format, "認識できない画像形式です");
    try {
        return ReadBMP(std::span(in).subspan(1));
    } catch (const Error& e) {
        if (e.kind() == ErrorKind::TooLarge)
            throw;
        throw Error(ErrorKind::Format, "認識できない画像形式です");
    }
}

std::optional<std::vector<uint8_t>> SpiPlugin::decodeHere(std::span<const uint8_t> data,
                                                          const std::string& fileName,
                                                          intptr_t context) const
{
    if (data.size() > INT32_MAX)
        return std::nullopt;
    std::vector<uint8_t> padded;
    const uint8_t* bytes = data.data();
    if (data.size() < 2048) {
        padded.assign(2048, 0);
        std::memcpy(padded.data(), data.data(), data.size());
        bytes = padded.data();
    }
    const auto length = static_cast<int32_t>(data.size());
    if (m_isSupported(fileName.c_str(), bytes) == 0)
        return std::nullopt;
    LvxPictureInfo record{};
    if (m_getPictureInfo(bytes, length, 1, &record) != 0)
        return std::nullopt;
    LocalBlock info, pixels;
    if (m_getPicture(bytes, length, 1, &info.handle, &pixels.handle, reportProgress, context) != 0)
        return std::nullopt;
    return PluginDibFile(info.bytes(), pixels.bytes());
}

}  // namespace lumavex
