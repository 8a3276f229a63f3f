#pragma once

#include <functional>
#include <span>
#include <string>
#include <vector>

#include "core/raster.h"

namespace lumavex {

/// Decodes a whole file's bytes into a picture. Throws lumavex::Error (Format for corrupt
/// data, Unsupported for a variant it does not read, TooLarge for absurd sizes).
using PictureReader =
    std::function<Raster(std::span<const uint8_t> data, const std::string& fileName)>;

/// One readable format: extension without the dot, lower case ("bmp"), and its description.
struct PictureFormat {
    std::string extension;
    std::string description;
    PictureReader read;
};

/// The picture-format registry: readers chosen by a file's extension, case-insensitively.
/// Starts with the built-in formats; plug-ins add theirs.
class PictureFormats {
public:
    static PictureFormats& instance();

    /// Adds a format, replacing an earlier one of the same extension.
    void add(PictureFormat format);
    /// Removes the format of an extension (with or without its dot); false if none.
    bool remove(const std::string& extension);
    /// The format of an extension (with or without its dot, any case), or null.
    const PictureFormat* find(const std::string& extension) const;
    const std::vector<PictureFormat>& formats() const { return m_formats; }

private:
    PictureFormats();
    std::vector<PictureFormat> m_formats;
};

/// The lower-cased extension of a file name without its dot, "" when it has none.
std::string lowerExtension(const std::string& fileName);

}  // namespace lumavex
