#pragma once

#include <lumavex/spi.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/raster.h"

namespace lumavex {

/// One image plug-in library ("*.spi"), loaded with dlopen. Its kind follows the API version it
/// reports (information 0): "00IN" reads pictures, "00AM" archives, "00XN" other.
class SpiPlugin {
public:
    enum class Kind { Other, Extension, Import, Archive };

    /// Loads the library. Throws Error(File) "<path>:Susie Pluginがロードできませんでした" when
    /// it does not load, Error(Unsupported) "<function>は[<path>]では使えないSusie Plugin APIです"
    /// when a function its kind needs is missing.
    explicit SpiPlugin(const std::string& path);
    ~SpiPlugin();
    SpiPlugin(const SpiPlugin&) = delete;
    SpiPlugin& operator=(const SpiPlugin&) = delete;

    const std::string& fileName() const { return m_fileName; }
    const std::string& apiVersion() const { return m_apiVersion; }
    const std::string& name() const { return m_name; }
    Kind kind() const { return m_kind; }
    /// Information 2, 4, 6 ... and 3, 5, 7 ..., as long as both of a pair exist.
    const std::vector<std::string>& filters() const { return m_filters; }
    const std::vector<std::string>& descriptions() const { return m_descriptions; }

    /// The picture in data, or nothing when the plug-in does not read it. Data shorter than 2048
    /// bytes is passed zero-padded to 2048 with its true length; when decoding fails and
    /// skipMacHeader is set, it is tried again from byte 128. Blocks whose sizes do not add up
    /// throw Error(Format) "認識できない画像形式です".
    std::optional<Raster> decode(std::span<const uint8_t> data, const std::string& fileName,
                                 bool skipMacHeader = true) const;

private:
    std::optional<Raster> decodeOnce(std::span<const uint8_t> data,
                                     const std::string& fileName) const;
    std::optional<std::vector<uint8_t>> decodeHere(std::span<const uint8_t> data,
                                                   const std::string& fileName) const;
    std::string info(int number) const;
    void require(const void* function, const char* name) const;

    void* m_library = nullptr;
    std::string m_fileName, m_apiVersion, m_name;
    Kind m_kind = Kind::Other;
    std::vector<std::string> m_filters, m_descriptions;
    LvxGetPluginInfo m_getPluginInfo = nullptr;
    LvxIsSupported m_isSupported = nullptr;
    LvxGetPictureInfo m_getPictureInfo = nullptr;
    LvxGetPicture m_getPicture = nullptr;
};

}  // namespace lumavex
