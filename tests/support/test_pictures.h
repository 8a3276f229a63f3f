#pragma once

#include <filesystem>
#include <set>
#include <string>

#include "core/raster.h"

namespace lumavex::test {

constexpr Color kTestRed = 0x000000FF;   // red (255, 0, 0)
constexpr Color kTestBlue = 0x00FF0000;  // blue (0, 0, 255)

/// An asymmetric picture: a red "F" on blue, so that swapped channels and flipped axes show.
Raster makeFPicture(int width, int height);

/// A picture whose every pixel differs: channels from the position, so any misplaced pixel
/// shows.
Raster makeGradient(int width, int height);

/// A picture of pseudo-random pixels from a seed.
Raster makeNoise(int width, int height, uint32_t seed);

/// The distinct colours of a picture.
std::set<Color> colours(const Raster& picture);

/// A folder of its own under the system's temporary folder, removed with its content.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return m_path; }
    std::string file(const std::string& name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
};

/// Writes bytes to a file.
void writeFile(const std::string& fileName, const std::string& bytes);
/// Reads a whole file into a string.
std::string readFile(const std::string& fileName);

/// "(r, g, b)" of a colour, for messages.
std::string describe(Color c);

}  // namespace lumavex::test
