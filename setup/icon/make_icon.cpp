// Writes Setup's application icon: a padlock, as one .ico file holding a
// 32x32 and a 16x16 image in the 16 standard colours (4 bits per pixel).
// Built and run on the build machine: `make_icon OUT.ico`.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

// The standard 16-colour palette, as the icon format stores it (B, G, R, 0).
constexpr std::uint8_t kPalette[16][3] = {
    {0x00, 0x00, 0x00}, {0x80, 0x00, 0x00}, {0x00, 0x80, 0x00}, {0x80, 0x80, 0x00},
    {0x00, 0x00, 0x80}, {0x80, 0x00, 0x80}, {0x00, 0x80, 0x80}, {0xC0, 0xC0, 0xC0},
    {0x80, 0x80, 0x80}, {0xFF, 0x00, 0x00}, {0x00, 0xFF, 0x00}, {0xFF, 0xFF, 0x00},
    {0x00, 0x00, 0xFF}, {0xFF, 0x00, 0xFF}, {0x00, 0xFF, 0xFF}, {0xFF, 0xFF, 0xFF},
};  // in R, G, B order
enum Colour : int { Black = 0, Olive = 3, Navy = 4, Silver = 7, Gray = 8, Blue = 12, Yellow = 11, White = 15,
                    Transparent = -1 };

// The padlock in unit coordinates (0..1, y downwards), sampled per pixel:
// a silver shackle over a blue body with a yellow keyhole.
int PadlockColour(double x, double y)
{
    const double bodyLeft = 0.16, bodyRight = 0.84, bodyTop = 0.46, bodyBottom = 0.94;
    const double edge = 0.07;
    if (x >= bodyLeft && x <= bodyRight && y >= bodyTop && y <= bodyBottom) {
        const bool rim = x < bodyLeft + edge || x > bodyRight - edge || y < bodyTop + edge || y > bodyBottom - edge;
        const double kx = x - 0.5, ky = y - 0.63;
        const bool keyhole = kx * kx + ky * ky < 0.011 || (std::fabs(kx) < 0.045 && y > 0.63 && y < 0.82);
        if (keyhole)
            return Yellow;
        if (rim)
            return Navy;
        return x < 0.34 ? White : Blue;  // a highlight down the left side
    }
    // Shackle: the upper half of a ring, with straight legs into the body.
    const double cx = 0.5, cy = 0.34, outer = 0.29, inner = 0.17;
    const double dx = x - cx, dy = y - cy;
    const double r = std::sqrt(dx * dx + dy * dy);
    const bool arc = y <= cy && r <= outer && r >= inner;
    const bool legs = y > cy && y < bodyTop && std::fabs(dx) <= outer && std::fabs(dx) >= inner;
    if (arc || legs) {
        const double middle = (outer + inner) / 2;
        const double across = y <= cy ? std::fabs(r - middle) : std::fabs(std::fabs(dx) - middle);
        return across > (outer - inner) * 0.32 ? Gray : Silver;
    }
    return Transparent;
}

void Put16(std::vector<std::uint8_t>& out, unsigned value)
{
    out.push_back(value & 0xFF);
    out.push_back((value >> 8) & 0xFF);
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

// One image: BITMAPINFOHEADER (height doubled for the mask), palette, the
// 4-bit colour rows and the 1-bit transparency mask, both bottom-up with
// rows padded to 4 bytes.
std::vector<std::uint8_t> Image(int size)
{
    std::vector<int> pixels(size * size);
    for (int row = 0; row < size; ++row)
        for (int column = 0; column < size; ++column)
            pixels[row * size + column] = PadlockColour((column + 0.5) / size, (row + 0.5) / size);

    const int colourStride = ((size * 4 + 31) / 32) * 4;
    const int maskStride = ((size + 31) / 32) * 4;
    std::vector<std::uint8_t> out;
    Put32(out, 40);
    Put32(out, size);
    Put32(out, size * 2);
    Put16(out, 1);
    Put16(out, 4);
    Put32(out, 0);
    Put32(out, (colourStride + maskStride) * size);
    for (int i = 0; i < 4; ++i)
        Put32(out, 0);
    for (const auto& colour : kPalette) {
        out.push_back(colour[2]);
        out.push_back(colour[1]);
        out.push_back(colour[0]);
        out.push_back(0);
    }
    for (int row = size - 1; row >= 0; --row) {
        std::vector<std::uint8_t> line(colourStride);
        for (int column = 0; column < size; ++column) {
            const int colour = pixels[row * size + column];
            const int index = colour == Transparent ? Black : colour;
            line[column / 2] |= column % 2 == 0 ? index << 4 : index;
        }
        out.insert(out.end(), line.begin(), line.end());
    }
    for (int row = size - 1; row >= 0; --row) {
        std::vector<std::uint8_t> line(maskStride);
        for (int column = 0; column < size; ++column)
            if (pixels[row * size + column] == Transparent)
                line[column / 8] |= 0x80 >> (column % 8);
        out.insert(out.end(), line.begin(), line.end());
    }
    return out;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_icon OUT.ico\n");
        return 2;
    }
    const int sizes[] = {32, 16};
    std::vector<std::vector<std::uint8_t>> images;
    for (int size : sizes)
        images.push_back(Image(size));

    // ICONDIR, then one 16-byte ICONDIRENTRY per image, then the images.
    std::vector<std::uint8_t> file;
    Put16(file, 0);
    Put16(file, 1);
    Put16(file, static_cast<unsigned>(images.size()));
    std::uint32_t offset = 6 + 16 * static_cast<std::uint32_t>(images.size());
    for (std::size_t i = 0; i < images.size(); ++i) {
        file.push_back(static_cast<std::uint8_t>(sizes[i]));
        file.push_back(static_cast<std::uint8_t>(sizes[i]));
        file.push_back(16);  // colours
        file.push_back(0);
        Put16(file, 1);      // planes
        Put16(file, 4);      // bits per pixel
        Put32(file, static_cast<std::uint32_t>(images[i].size()));
        Put32(file, offset);
        offset += static_cast<std::uint32_t>(images[i].size());
    }
    for (const auto& image : images)
        file.insert(file.end(), image.begin(), image.end());

    std::FILE* out = std::fopen(argv[1], "wb");
    if (out == nullptr || std::fwrite(file.data(), 1, file.size(), out) != file.size() || std::fclose(out) != 0) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
