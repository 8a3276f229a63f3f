#include "formats/spi_plugin.h"

#include <dlfcn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "core/error.h"
#include "formats/bmp.h"
#include "formats/plugin_dib.h"

namespace lumavex {

namespace {

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

/// Lets the plug-in run on; the editor shows no progress of plug-in decoding yet.
int32_t keepGoing(int32_t, int32_t, intptr_t)
{
    return 0;
}

}  // namespace

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
                                        bool skipMacHeader) const
{
    if (m_kind != Kind::Import)
        return std::nullopt;
    if (auto picture = decodeOnce(data, fileName))
        return picture;
    if (skipMacHeader && data.size() > 128)
        return decodeOnce(data.subspan(128), fileName);
    return std::nullopt;
}

std::optional<Raster> SpiPlugin::decodeOnce(std::span<const uint8_t> data,
                                            const std::string& fileName) const
{
    // The plug-in runs in a child process of its own, so that one that crashes or scribbles
    // over memory cannot take the program's open documents with it. The child hands back the
    // BMP file image of the blocks, after a byte: 1 decoded, 2 blocks that do not add up.
    int fds[2];
    if (pipe(fds) != 0)
        return std::nullopt;
    const pid_t child = fork();
    if (child < 0) {
        close(fds[0]);
        close(fds[1]);
        return std::nullopt;
    }
    if (child == 0) {
        close(fds[0]);
        std::vector<uint8_t> out = {0};
        try {
            if (auto file = decodeHere(data, fileName)) {
                out[0] = 1;
                out.insert(out.end(), file->begin(), file->end());
            }
        } catch (...) {
            out = {2};
        }
        for (size_t done = 0; done < out.size();) {
            const ssize_t n = write(fds[1], out.data() + done, out.size() - done);
            if (n <= 0)
                _exit(1);
            done += static_cast<size_t>(n);
        }
        _exit(0);
    }
    close(fds[1]);
    std::vector<uint8_t> in;
    uint8_t buffer[65536];
    for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) != 0;) {
        if (n < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        in.insert(in.end(), buffer, buffer + n);
    }
    close(fds[0]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || in.empty() || in[0] == 0)
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
                                                          const std::string& fileName) const
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
    if (m_getPicture(bytes, length, 1, &info.handle, &pixels.handle, keepGoing, 0) != 0)
        return std::nullopt;
    return PluginDibFile(info.bytes(), pixels.bytes());
}

}  // namespace lumavex
