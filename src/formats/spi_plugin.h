#pragma once

#include <lumavex/spi.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/raster.h"

namespace lumavex {

/// The stages of one plug-in's decoding: starting (0 %), running (1 to 99 %) and ending (100 %).
enum class SpiStage { Start, Running, End };

/// Told how a plug-in's decoding goes; returning false asks the plug-in to stop, though its own
/// result decides whether a picture comes back.
using SpiProgress = std::function<bool(SpiStage stage, int percent)>;

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
    /// throw Error(Format) "認識できない画像形式です". Progress, when given, is told of the start,
    /// of the plug-in's own reports as MulDiv(done, 98, total) + 1 percent, and of the end.
    std::optional<Raster> decode(std::span<const uint8_t> data, const std::string& fileName,
                                 bool skipMacHeader = true, const SpiProgress& progress = {}) const;

    /// How long a decoding plug-in may go without a progress report or its result before it is
    /// stopped as stuck: a minute unless set (for every plug-in of the program).
    static void setSilenceLimit(std::chrono::milliseconds limit);

private:
    std::optional<Raster> decodeOnce(std::span<const uint8_t> data, const std::string& fileName,
                                     const SpiProgress& progress) const;
    std::optional<std::vector<uint8_t>> decodeHere(std::span<const uint8_t> data,
                                                   const std::string& fileName,
                                                   intptr_t context) const;
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
