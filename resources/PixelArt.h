// Reading the text pixel-art drawings of resources/art (format in art/README.md).
// Portable on purpose: the build runs it as a generator, the tests run it too.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ovaro::art {

struct Pixel {
    std::uint8_t r = 0, g = 0, b = 0, a = 0;
};

struct Drawing {
    int size = 0;               // width and height in pixels
    std::vector<Pixel> pixels;  // row by row, top row first
    std::string origin;         // file and size, for messages

    const Pixel& At(int x, int y) const { return pixels[static_cast<std::size_t>(y * size + x)]; }
};

// The classic 16-colour VGA palette in the order Windows uses for 4-bit images.
// clang-format off
inline constexpr std::array<Pixel, 16> kVgaPalette{{
    {0x00, 0x00, 0x00, 255}, {0x80, 0x00, 0x00, 255}, {0x00, 0x80, 0x00, 255}, {0x80, 0x80, 0x00, 255},
    {0x00, 0x00, 0x80, 255}, {0x80, 0x00, 0x80, 255}, {0x00, 0x80, 0x80, 255}, {0xC0, 0xC0, 0xC0, 255},
    {0x80, 0x80, 0x80, 255}, {0xFF, 0x00, 0x00, 255}, {0x00, 0xFF, 0x00, 255}, {0xFF, 0xFF, 0x00, 255},
    {0x00, 0x00, 0xFF, 255}, {0xFF, 0x00, 0xFF, 255}, {0x00, 0xFF, 0xFF, 255}, {0xFF, 0xFF, 0xFF, 255},
}};
// clang-format on

// The colour that the tree's image list treats as transparent.
inline constexpr Pixel kMaskColour{0xC0, 0xC0, 0xC0, 255};

// Index of an opaque colour in kVgaPalette, or -1 if it is not one of them.
int VgaIndex(Pixel p);

// The drawing of the given size from the text of a drawing file. Throws
// std::runtime_error naming `origin` and the line when the text is malformed
// or holds no drawing of that size.
Drawing ParseDrawing(std::string_view text, int size, const std::string& origin);

}  // namespace ovaro::art
