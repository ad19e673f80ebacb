// The drawing format the build's generator reads; portable, so it runs natively too.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "PixelArt.h"

namespace {

TEST(PixelArt, ReadsThePaletteAndTheDrawingOfTheAskedSize) {
    const char* text =
        "# two sizes\n"
        "palette\n"
        ". transparent\n"
        "k #000000\n"
        "s #80808040\n"
        "\n"
        "image 2\n"
        "k.\r\n"
        ".s\n"
        "image 3\n"
        "kkk\n"
        "k.k\n"
        "kkk\n";
    const auto two = ovaro::art::ParseDrawing(text, 2, "t");
    ASSERT_EQ(two.size, 2);
    EXPECT_EQ(two.At(0, 0).a, 255);
    EXPECT_EQ(two.At(1, 0).a, 0);
    EXPECT_EQ(two.At(1, 1).r, 0x80);
    EXPECT_EQ(two.At(1, 1).a, 0x40);
    const auto three = ovaro::art::ParseDrawing(text, 3, "t");
    EXPECT_EQ(three.At(1, 1).a, 0);
    EXPECT_EQ(three.At(2, 2).a, 255);
}

TEST(PixelArt, RejectsMalformedDrawings) {
    const std::string palette = "palette\n. transparent\nk #000000\n";
    const struct {
        std::string text;
        const char* why;
    } bad[] = {
        {palette + "image 2\nk.\n.\n", "short row"},
        {palette + "image 2\nk.\n...\n", "long row"},
        {palette + "image 2\nk.\n.x\n", "character outside the palette"},
        {palette + "image 2\nk.\n", "image ends early"},
        {palette + "image 3\nkkk\nkkk\nkkk\n", "no image of the size asked for"},
        {palette + "image 2\nk.\n.k\nimage 2\nkk\nkk\n", "two images of one size"},
        {palette + "k #FFFFFF\nimage 2\nk.\n.k\n", "character defined twice"},
        {"palette\nk #12345\nimage 2\nkk\nkk\n", "bad colour"},
        {palette + "image 2\nk.\n.k\nz #000000\n", "palette line after the images"},
    };
    for (const auto& b : bad) {
        EXPECT_THROW(ovaro::art::ParseDrawing(b.text, 2, "t"), std::runtime_error) << b.why;
    }
}

TEST(PixelArt, KnowsTheVgaPalette) {
    EXPECT_EQ(ovaro::art::VgaIndex({0xFF, 0xFF, 0x00, 255}), 11);
    EXPECT_EQ(ovaro::art::VgaIndex({0x80, 0x80, 0x80, 255}), 8);
    EXPECT_EQ(ovaro::art::VgaIndex({0xFF, 0xD2, 0x3F, 255}), -1);
}

}  // namespace
