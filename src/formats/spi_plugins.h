#pragma once

#include <memory>
#include <span>
#include <string>
#include <vector>

#include "formats/spi_plugin.h"

namespace lumavex {

/// The program's image plug-ins: one manager a program, the libraries it loaded in load order,
/// and every extension of an import plug-in registered as a picture format while it lives.
class SpiPlugins {
public:
    /// Throws Error(BadArgument) "TSPIs は複数生成できません" when one already exists.
    SpiPlugins();
    ~SpiPlugins();
    SpiPlugins(const SpiPlugins&) = delete;
    SpiPlugins& operator=(const SpiPlugins&) = delete;

    /// The existing manager, or null.
    static SpiPlugins* instance();

    /// The directories searched by default: the program's own and lib/lumavex/plugins under
    /// the installation prefix; never the current directory.
    static std::vector<std::string> defaultDirectories();

    /// Loads every "*.spi" file of each directory that is not loaded yet; a file that does not
    /// load or lacks a function is skipped.
    void search(const std::vector<std::string>& directories);
    void add(std::unique_ptr<SpiPlugin> plugin);
    int indexOf(const std::string& fileName) const;
    size_t count() const { return m_plugins.size(); }
    const SpiPlugin& at(size_t i) const { return *m_plugins[i]; }

    /// The import plug-ins to try for an extension (with its dot): those whose filters name it
    /// first, the last loaded of them first, then the others in load order.
    std::vector<const SpiPlugin*> findLoaders(const std::string& extension) const;

    /// Reads a file of a registered extension: for ".bmp" the native reader first and the
    /// plug-ins second, for others the plug-ins first. Throws Error(Format)
    /// "認識できない画像形式です" when neither reads it.
    Raster read(std::span<const uint8_t> data, const std::string& fileName) const;

private:
    std::vector<std::unique_ptr<SpiPlugin>> m_plugins;
    std::vector<std::string> m_registered;
};

}  // namespace lumavex
