// Turns the text pixel-art drawings in resources/art into the binary icon and
// bitmap files that the resource script embeds. Built for and run on the build
// machine (a cross build compiles it with the build machine's own compiler), so
// it uses nothing but the standard library.
//
//   ovaro_artgen ico OUT.ico IMAGE...        IMAGE is BPP:FILE:SIZE, BPP 4, 24 or 32
//   ovaro_artgen strip OUT.bmp SIZE FILE...  the SIZE drawing of each FILE, side by side
//
// Drawing files: see resources/art/README.md.

#include "PixelArt.h"

#include <cstdint>
#include <cstdio>
#include <exception>
#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using ovaro::art::Drawing;
using ovaro::art::Pixel;

Drawing LoadDrawing(const std::string& path, int size) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error(path + ": cannot open");
    std::ostringstream text;
    text << in.rdbuf();
    return ovaro::art::ParseDrawing(text.str(), size, path);
}

void Put16(std::vector<std::uint8_t>& out, unsigned v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

void PutInfoHeader(std::vector<std::uint8_t>& out, int width, int height, int bpp, std::uint32_t imageBytes,
                   int paletteSize) {
    Put32(out, 40);
    Put32(out, static_cast<std::uint32_t>(width));
    Put32(out, static_cast<std::uint32_t>(height));
    Put16(out, 1);
    Put16(out, static_cast<unsigned>(bpp));
    Put32(out, 0);  // BI_RGB
    Put32(out, imageBytes);
    Put32(out, 0);
    Put32(out, 0);
    Put32(out, static_cast<std::uint32_t>(paletteSize));
    Put32(out, 0);
}

int RowBytes(int width, int bpp) { return ((width * bpp + 31) / 32) * 4; }

// One icon image as stored in an .ico file: header, palette, colour rows and
// AND mask, both bottom-up. Transparent pixels are set in the AND mask and black
// in the colour rows, so that they vanish on every kind of display.
std::vector<std::uint8_t> EncodeIconImage(const Drawing& d, int bpp) {
    const int n = d.size;
    const int colourRow = RowBytes(n, bpp);
    const int maskRow = RowBytes(n, 1);
    std::vector<std::uint8_t> out;
    PutInfoHeader(out, n, 2 * n, bpp, static_cast<std::uint32_t>((colourRow + maskRow) * n), bpp == 4 ? 16 : 0);
    if (bpp == 4) {
        for (const auto& c : ovaro::art::kVgaPalette) {
            out.push_back(c.b);
            out.push_back(c.g);
            out.push_back(c.r);
            out.push_back(0);
        }
    }
    for (int y = n - 1; y >= 0; --y) {
        std::vector<std::uint8_t> row(static_cast<std::size_t>(colourRow), 0);
        for (int x = 0; x < n; ++x) {
            const Pixel p = d.At(x, y);
            // A 24-bit image has no alpha: half-transparent shading falls away there.
            const bool opaque = bpp == 32 ? p.a != 0 : p.a >= 128;
            if (bpp == 4) {
                if (opaque) {
                    const int index = ovaro::art::VgaIndex(p);
                    if (index < 0) {
                        throw std::runtime_error(d.origin + ": 16-colour image uses a colour outside the VGA palette");
                    }
                    row[static_cast<std::size_t>(x / 2)] |= static_cast<std::uint8_t>(x % 2 == 0 ? index << 4 : index);
                }
            } else if (opaque) {
                const std::size_t at = static_cast<std::size_t>(x * (bpp / 8));
                row[at] = p.b;
                row[at + 1] = p.g;
                row[at + 2] = p.r;
                if (bpp == 32) row[at + 3] = p.a;
            }
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    for (int y = n - 1; y >= 0; --y) {
        std::vector<std::uint8_t> row(static_cast<std::size_t>(maskRow), 0);
        for (int x = 0; x < n; ++x) {
            const Pixel p = d.At(x, y);
            const bool opaque = bpp == 32 ? p.a != 0 : p.a >= 128;
            if (!opaque) row[static_cast<std::size_t>(x / 8)] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

struct IconImage {
    int bpp;
    Drawing drawing;
};

IconImage ParseImageArgument(const std::string& arg) {
    // BPP:FILE:SIZE; FILE may itself hold a colon (a drive letter on Windows).
    const auto first = arg.find(':');
    const auto last = arg.rfind(':');
    if (first == std::string::npos || first == last) throw std::runtime_error("bad image argument: " + arg);
    const int bpp = std::stoi(arg.substr(0, first));
    const int size = std::stoi(arg.substr(last + 1));
    if (bpp != 4 && bpp != 24 && bpp != 32) throw std::runtime_error("bad bit depth: " + arg);
    if (size < 1 || size > 255) throw std::runtime_error("bad icon size: " + arg);
    return {bpp, LoadDrawing(arg.substr(first + 1, last - first - 1), size)};
}

std::vector<std::uint8_t> BuildIcon(const std::vector<IconImage>& images) {
    std::vector<std::vector<std::uint8_t>> encoded;
    for (const auto& image : images) encoded.push_back(EncodeIconImage(image.drawing, image.bpp));
    std::vector<std::uint8_t> out;
    Put16(out, 0);
    Put16(out, 1);  // icon
    Put16(out, static_cast<unsigned>(images.size()));
    std::uint32_t offset = static_cast<std::uint32_t>(6 + 16 * images.size());
    for (std::size_t i = 0; i < images.size(); ++i) {
        out.push_back(static_cast<std::uint8_t>(images[i].drawing.size));
        out.push_back(static_cast<std::uint8_t>(images[i].drawing.size));
        out.push_back(images[i].bpp == 4 ? 16 : 0);
        out.push_back(0);
        Put16(out, 1);
        Put16(out, static_cast<unsigned>(images[i].bpp));
        Put32(out, static_cast<std::uint32_t>(encoded[i].size()));
        Put32(out, offset);
        offset += static_cast<std::uint32_t>(encoded[i].size());
    }
    for (const auto& e : encoded) out.insert(out.end(), e.begin(), e.end());
    return out;
}

// A 24-bit bottom-up BMP with the drawings side by side; transparent pixels get
// the image list's mask colour.
std::vector<std::uint8_t> BuildStrip(const std::vector<Drawing>& drawings, int size) {
    const int width = size * static_cast<int>(drawings.size());
    const int stride = RowBytes(width, 24);
    const std::uint32_t imageBytes = static_cast<std::uint32_t>(stride * size);
    std::vector<std::uint8_t> out;
    out.push_back('B');
    out.push_back('M');
    Put32(out, 14 + 40 + imageBytes);
    Put32(out, 0);
    Put32(out, 14 + 40);
    PutInfoHeader(out, width, size, 24, imageBytes, 0);
    for (int y = size - 1; y >= 0; --y) {
        std::vector<std::uint8_t> row(static_cast<std::size_t>(stride), 0);
        for (std::size_t i = 0; i < drawings.size(); ++i) {
            for (int x = 0; x < size; ++x) {
                Pixel p = drawings[i].At(x, y);
                if (p.a < 128) {
                    p = ovaro::art::kMaskColour;
                } else if (p.r == ovaro::art::kMaskColour.r && p.g == ovaro::art::kMaskColour.g &&
                           p.b == ovaro::art::kMaskColour.b) {
                    // Would be punched out by the image list.
                    throw std::runtime_error(drawings[i].origin + ": an opaque pixel has the mask colour C0C0C0");
                }
                const std::size_t at = static_cast<std::size_t>((static_cast<int>(i) * size + x) * 3);
                row[at] = p.b;
                row[at + 1] = p.g;
                row[at + 2] = p.r;
            }
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (out) return;
    }
    // Leave no half-written file behind for the next build to take as up to date.
    std::remove(path.c_str());
    throw std::runtime_error(path + ": cannot write");
}

int Usage() {
    std::cerr << "usage: ovaro_artgen ico OUT.ico BPP:FILE:SIZE...\n"
                 "       ovaro_artgen strip OUT.bmp SIZE FILE...\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    try {
        if (args.size() >= 3 && args[0] == "ico") {
            std::vector<IconImage> images;
            for (std::size_t i = 2; i < args.size(); ++i) images.push_back(ParseImageArgument(args[i]));
            WriteBytes(args[1], BuildIcon(images));
            return 0;
        }
        if (args.size() >= 4 && args[0] == "strip") {
            const int size = std::stoi(args[2]);
            if (size < 1 || size > 256) return Usage();
            std::vector<Drawing> drawings;
            for (std::size_t i = 3; i < args.size(); ++i) drawings.push_back(LoadDrawing(args[i], size));
            WriteBytes(args[1], BuildStrip(drawings, size));
            return 0;
        }
        return Usage();
    } catch (const std::exception& e) {
        std::cerr << "ovaro_artgen: " << e.what() << '\n';
        return 1;
    }
}
