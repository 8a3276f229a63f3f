#include "formats/spi_plugins.h"

#include <strings.h>

#include <algorithm>
#include <filesystem>

#include "core/error.h"
#include "formats/bmp.h"
#include "formats/registry.h"

#ifndef LUMAVEX_PLUGIN_DIR
#define LUMAVEX_PLUGIN_DIR "lib/lumavex/plugins"
#endif

namespace lumavex {

namespace {

SpiPlugins* g_instance = nullptr;

bool sameText(const std::string& a, const std::string& b)
{
    return strcasecmp(a.c_str(), b.c_str()) == 0;
}

/// Each ";" pattern of a filter ("*.lvxt;*.lvx") gives one extension without its dot.
std::vector<std::string> patternExtensions(const std::string& filter)
{
    std::vector<std::string> out;
    for (size_t start = 0;;) {
        const size_t end = filter.find(';', start);
        const std::string pattern = filter.substr(start, end - start);
        const size_t dot = pattern.rfind('.');
        if (dot != std::string::npos && dot + 1 < pattern.size())
            out.push_back(pattern.substr(dot + 1));
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return out;
}

}  // namespace

SpiPlugins::SpiPlugins()
{
    if (g_instance)
        throw Error(ErrorKind::BadArgument, "TSPIs は複数生成できません");
    g_instance = this;
}

SpiPlugins::~SpiPlugins()
{
    for (const std::string& extension : m_registered)
        PictureFormats::instance().remove(extension);
    if (g_instance == this)
        g_instance = nullptr;
}

SpiPlugins* SpiPlugins::instance()
{
    return g_instance;
}

std::vector<std::string> SpiPlugins::defaultDirectories()
{
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return {};
    const std::filesystem::path dir = program.parent_path();
    return {dir.string(), (dir.parent_path() / LUMAVEX_PLUGIN_DIR).string()};
}

void SpiPlugins::search(const std::vector<std::string>& directories)
{
    for (const std::string& directory : directories) {
        if (directory.empty() || !std::filesystem::path(directory).is_absolute())
            continue;
        std::vector<std::string> found;
        std::error_code error;
        // "/a/./b" and "/a/b/" are the folder "/a/b": its plug-ins load once.
        const std::filesystem::path folder = std::filesystem::path(directory).lexically_normal();
        for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
            const std::string path = entry.path().string();
            if (entry.is_regular_file(error) &&
                sameText(entry.path().extension().string(), ".spi") && indexOf(path) < 0)
                found.push_back(path);
        }
        std::sort(found.begin(), found.end());
        for (const std::string& path : found) {
            std::unique_ptr<SpiPlugin> plugin;
            try {
                plugin = std::make_unique<SpiPlugin>(path);
            } catch (const Error&) {
                // Not a plug-in of ours, or one that lacks a function: the search goes on.
                continue;
            }
            try {
                if (!onSearch || onSearch(*plugin))
                    add(std::move(plugin));
            } catch (...) {
                // A handler that fails leaves this plug-in out, not the others.
            }
        }
    }
}

void SpiPlugins::add(std::unique_ptr<SpiPlugin> plugin)
{
    insert(m_plugins.size(), std::move(plugin));
}

void SpiPlugins::insert(size_t index, std::unique_ptr<SpiPlugin> plugin)
{
    if (index > m_plugins.size())
        throw Error(ErrorKind::BadArgument, "プラグインの位置が範囲外です");
    const SpiPlugin& added = *plugin;
    m_plugins.insert(m_plugins.begin() + static_cast<ptrdiff_t>(index), std::move(plugin));
    if (added.kind() != SpiPlugin::Kind::Import)
        return;
    try {
        registerFormats(added);
    } catch (...) {
        // A registration handler that fails leaves the plug-in out.
        m_plugins.erase(m_plugins.begin() + static_cast<ptrdiff_t>(index));
        throw;
    }
}

void SpiPlugins::registerFormats(const SpiPlugin& added)
{
    for (size_t i = 0; i < added.filters().size(); ++i)
        for (const std::string& extension : patternExtensions(added.filters()[i])) {
            // A built-in format keeps its reader; when that finds no picture of its own, the
            // plug-ins are asked next.
            if (PictureFormats::instance().find(extension) && !registers(extension))
                continue;
            PictureReader reader = [](std::span<const uint8_t> data, const std::string& name) {
                if (!g_instance)
                    throw Error(ErrorKind::Format, "認識できない画像形式です");
                return g_instance->read(data, name);
            };
            if (onPictureRegister)
                onPictureRegister(added, extension, added.descriptions()[i], reader);
            if (!reader)
                continue;
            PictureFormats::instance().add({extension, added.descriptions()[i], reader});
            if (!registers(extension))
                m_registered.push_back(extension);
        }
}

void SpiPlugins::remove(size_t index)
{
    if (index >= m_plugins.size())
        throw Error(ErrorKind::BadArgument, "プラグインの位置が範囲外です");
    m_plugins.erase(m_plugins.begin() + static_cast<ptrdiff_t>(index));
}

void SpiPlugins::clear()
{
    while (!m_plugins.empty())
        remove(0);
}

void SpiPlugins::removeFolder(const std::string& folder)
{
    std::filesystem::path gone = std::filesystem::path(folder).lexically_normal();
    if (!gone.has_filename())
        gone = gone.parent_path();
    for (size_t i = m_plugins.size(); i-- > 0;)
        if (std::filesystem::path(m_plugins[i]->fileName()).parent_path().lexically_normal() ==
            gone)
            remove(i);
}

bool SpiPlugins::registers(const std::string& extension) const
{
    return std::any_of(m_registered.begin(), m_registered.end(),
                       [&](const std::string& e) { return sameText(e, extension); });
}

int SpiPlugins::indexOf(const std::string& fileName) const
{
    for (size_t i = 0; i < m_plugins.size(); ++i)
        if (sameText(m_plugins[i]->fileName(), fileName))
            return static_cast<int>(i);
    return -1;
}

std::vector<const SpiPlugin*> SpiPlugins::findLoaders(const std::string& extension) const
{
    std::vector<const SpiPlugin*> out;
    for (const auto& plugin : m_plugins) {
        if (plugin->kind() != SpiPlugin::Kind::Import)
            continue;
        bool claims = false;
        for (const std::string& filter : plugin->filters())
            for (const std::string& piece : patternExtensions(filter))
                claims = claims || sameText("." + piece, extension);
        if (claims)
            out.insert(out.begin(), plugin.get());
        else
            out.push_back(plugin.get());
    }
    return out;
}

std::optional<Raster> SpiPlugins::readWithPlugins(std::span<const uint8_t> data,
                                                  const std::string& fileName) const
{
    const std::string extension = lowerExtension(fileName);
    for (const SpiPlugin* plugin : findLoaders(extension.empty() ? "" : "." + extension)) {
        try {
            if (auto picture = plugin->decode(data, fileName, true, onProgress))
                return picture;
        } catch (const Error&) {
            // One plug-in's broken output does not keep the others from trying.
        }
    }
    return std::nullopt;
}

Raster SpiPlugins::read(std::span<const uint8_t> data, const std::string& fileName) const
{
    const std::string extension = lowerExtension(fileName);
    auto native = [&]() -> std::optional<Raster> {
        try {
            return ReadBMP(data);
        } catch (const Error&) {
            return std::nullopt;
        }
    };
    const bool nativeFirst = extension.empty() || extension == "bmp";
    std::optional<Raster> picture = nativeFirst ? native() : readWithPlugins(data, fileName);
    if (!picture)
        picture = nativeFirst ? readWithPlugins(data, fileName) : native();
    if (!picture)
        throw Error(ErrorKind::Format, "認識できない画像形式です");
    return std::move(*picture);
}

}  // namespace lumavex
