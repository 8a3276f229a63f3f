#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "formats/registry.h"
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
    /// The editor's settings file: lumavex/lumavex.conf in $XDG_CONFIG_HOME, or in ~/.config.
    static std::string settingsFileName();
    /// The plug-in folders the user chose in the editor: the "Path" value of the settings file's
    /// [Plug-in] group, folders separated by ":"; none when the file or the value is missing.
    static std::vector<std::string> userDirectories();

    /// Asked for each plug-in a search loads: false frees it instead of adding it. An exception
    /// it throws frees the plug-in too, and the search goes on.
    std::function<bool(const SpiPlugin& plugin)> onSearch;
    /// Asked for each extension (without its dot) an import plug-in declares, with the reader
    /// that will be registered for it: replacing the reader changes it, emptying it registers
    /// nothing.
    std::function<void(const SpiPlugin& plugin, const std::string& extension,
                       const std::string& description, PictureReader& reader)>
        onPictureRegister;
    /// Told how each plug-in's decoding goes; returning false asks the plug-in to stop.
    SpiProgress onProgress;

    /// Loads every "*.spi" file of each directory that is not loaded yet; a file that does not
    /// load or lacks a function is skipped. Directories that are not absolute are passed over,
    /// so that the current one is never searched by accident.
    void search(const std::vector<std::string>& directories);
    /// Appends a plug-in; see insert.
    void add(std::unique_ptr<SpiPlugin> plugin);
    /// Puts a plug-in at an index of the list (at most count()) and registers every extension of
    /// an import plug-in's filters as a picture format, except those of built-in formats, whose
    /// own reader stays first.
    void insert(size_t index, std::unique_ptr<SpiPlugin> plugin);
    /// Frees the plug-in at an index; its formats stay registered until the manager goes.
    void remove(size_t index);
    void clear();
    /// Frees the plug-ins loaded from a folder (not from its subfolders).
    void removeFolder(const std::string& folder);
    int indexOf(const std::string& fileName) const;
    size_t count() const { return m_plugins.size(); }
    const SpiPlugin& at(size_t i) const { return *m_plugins[i]; }
    /// Whether an extension (without its dot) was registered by the plug-ins.
    bool registers(const std::string& extension) const;

    /// The import plug-ins to try for an extension (with its dot): those whose filters name it
    /// first, the last loaded of them first, then the others in load order.
    std::vector<const SpiPlugin*> findLoaders(const std::string& extension) const;

    /// Reads a file of a registered extension: for ".bmp" the native reader first and the
    /// plug-ins second, for others the plug-ins first. Throws Error(Format)
    /// "認識できない画像形式です" when neither reads it.
    Raster read(std::span<const uint8_t> data, const std::string& fileName) const;
    /// The picture that the first of findLoaders to read it decodes, or nothing.
    std::optional<Raster> readWithPlugins(std::span<const uint8_t> data,
                                          const std::string& fileName) const;

private:
    void registerFormats(const SpiPlugin& plugin);

    std::vector<std::unique_ptr<SpiPlugin>> m_plugins;
    std::vector<std::string> m_registered;
};

}  // namespace lumavex
