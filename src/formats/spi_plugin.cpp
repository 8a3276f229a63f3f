#include "formats/spi_plugin.h"

#include <dlfcn.h>

#include <cstring>

#include "core/error.h"
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
    return PluginDibToRaster(info.bytes(), pixels.bytes());
}

}  // namespace lumavex
