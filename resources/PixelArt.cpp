#include "PixelArt.h"

#include <algorithm>
#include <optional>
#include <stdexcept>

namespace ovaro::art {

namespace {

std::string_view TrimRight(std::string_view s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<Pixel> ParseColour(std::string_view v) {
    if (v == "transparent") return Pixel{0, 0, 0, 0};
    if (v.size() != 7 && v.size() != 9) return std::nullopt;
    if (v[0] != '#') return std::nullopt;
    std::uint8_t channel[4] = {0, 0, 0, 255};
    for (std::size_t i = 0; i + 1 < v.size(); i += 2) {
        const int hi = HexDigit(v[i + 1]);
        const int lo = HexDigit(v[i + 2]);
        if (hi < 0 || lo < 0) return std::nullopt;
        channel[i / 2] = static_cast<std::uint8_t>(hi * 16 + lo);
    }
    return Pixel{channel[0], channel[1], channel[2], channel[3]};
}

bool IsPixelChar(char c) { return c > ' ' && c < 127 && c != '#'; }

}  // namespace

int VgaIndex(Pixel p) {
    for (std::size_t i = 0; i < kVgaPalette.size(); ++i) {
        const Pixel& v = kVgaPalette[i];
        if (v.r == p.r && v.g == p.g && v.b == p.b) return static_cast<int>(i);
    }
    return -1;
}

Drawing ParseDrawing(std::string_view text, int size, const std::string& origin) {
    std::optional<Pixel> palette[128];
    Drawing found;
    int rowsWanted = 0;  // rows still to come of the current image
    int currentSize = 0;
    bool taking = false;    // the current image is the one asked for
    bool inImages = false;  // palette lines end at the first image
    int lineNo = 0;
    auto fail = [&](const std::string& what) {
        throw std::runtime_error(origin + ":" + std::to_string(lineNo) + ": " + what);
    };

    std::size_t pos = 0;
    while (pos <= text.size()) {
        const std::size_t end = std::min(text.find('\n', pos), text.size());
        const std::string_view line = TrimRight(text.substr(pos, end - pos));
        pos = end + 1;
        ++lineNo;

        if (rowsWanted > 0) {
            if (static_cast<int>(line.size()) != currentSize)
                fail("row is not " + std::to_string(currentSize) + " wide");
            for (const char c : line) {
                if (!IsPixelChar(c) || !palette[static_cast<unsigned char>(c)]) {
                    fail(std::string("character '") + c + "' is not in the palette");
                }
                if (taking) found.pixels.push_back(*palette[static_cast<unsigned char>(c)]);
            }
            if (--rowsWanted == 0) taking = false;
            continue;
        }
        if (line.empty() || line[0] == '#') continue;
        if (line.substr(0, 6) == "image ") {
            int n = 0;
            for (const char c : line.substr(6)) {
                if (c < '0' || c > '9' || n > 1000) fail("bad image size");
                n = n * 10 + (c - '0');
            }
            if (n < 1 || n > 256) fail("bad image size");
            inImages = true;
            rowsWanted = n;
            currentSize = n;
            if (n == size) {
                if (!found.pixels.empty()) fail("second image of size " + std::to_string(n));
                taking = true;
                found.size = n;
                found.pixels.reserve(static_cast<std::size_t>(n * n));
            }
            continue;
        }
        if (line == "palette" && !inImages) continue;
        if (inImages || line.size() < 3 || !IsPixelChar(line[0]) || line[1] != ' ')
            fail("expected 'image N' or a palette line");
        std::string_view value = line.substr(2);
        while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
        const auto colour = ParseColour(value);
        if (!colour) fail("bad colour '" + std::string(value) + "'");
        if (palette[static_cast<unsigned char>(line[0])])
            fail(std::string("character '") + line[0] + "' defined twice");
        palette[static_cast<unsigned char>(line[0])] = colour;
    }
    if (rowsWanted > 0) fail("image ends early");
    if (found.pixels.empty()) throw std::runtime_error(origin + ": no image of size " + std::to_string(size));
    found.origin = origin + " (" + std::to_string(size) + " px)";
    return found;
}

}  // namespace ovaro::art
