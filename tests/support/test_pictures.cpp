#include "test_pictures.h"

#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include <unistd.h>

namespace lumavex::test {

Raster makeFPicture(int width, int height)
{
    Raster picture(width, height, kTestBlue);
    const int stem = std::max(1, width / 5);
    const int x0 = width / 5;
    const int y0 = height / 8;
    const int y1 = height - height / 8;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x0 + stem; ++x)
            picture.setPixel(x, y, kTestRed);
    for (int y = y0; y < y0 + std::max(1, height / 8); ++y)
        for (int x = x0; x < width - width / 8; ++x)
            picture.setPixel(x, y, kTestRed);
    const int mid = height / 2;
    for (int y = mid; y < mid + std::max(1, height / 10); ++y)
        for (int x = x0; x < width - width / 3; ++x)
            picture.setPixel(x, y, kTestRed);
    return picture;
}

Raster makeGradient(int width, int height)
{
    Raster picture(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            picture.setPixel(x, y, makeColor(x * 7 + y, y * 5 + x * 3, (x ^ y) * 11));
    return picture;
}

Raster makeNoise(int width, int height, uint32_t seed)
{
    Raster picture(width, height);
    std::mt19937 random(seed);
    for (int y = 0; y < height; ++y) {
        uint8_t* r = picture.row(y);
        for (int i = 0; i < width * 3; ++i)
            r[i] = static_cast<uint8_t>(random());
    }
    return picture;
}

std::set<Color> colours(const Raster& picture)
{
    std::set<Color> found;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            found.insert(picture.pixel(x, y));
    return found;
}

TempDir::TempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "lumavex-test-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    m_path = pattern;
}

TempDir::~TempDir()
{
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

void writeFile(const std::string& fileName, const std::string& bytes)
{
    std::ofstream out(fileName, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + fileName);
}

std::string readFile(const std::string& fileName)
{
    std::ifstream in(fileName, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string describe(Color c)
{
    std::ostringstream s;
    s << '(' << redOf(c) << ", " << greenOf(c) << ", " << blueOf(c) << ')';
    return s.str();
}

}  // namespace lumavex::test
