// The resources as the program sees them: this test is linked with the same
// resource object as the exe, so it reads its own icon, strips and manifest.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <cstdint>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ResourceIds.h"

namespace {

std::string_view resourceBytes(LPCWSTR name, LPCWSTR type) {
    const HMODULE module = GetModuleHandleW(nullptr);
    const HRSRC info = FindResourceW(module, name, type);
    if (!info) return {};
    const HGLOBAL data = LoadResource(module, info);
    return {static_cast<const char*>(LockResource(data)), SizeofResource(module, info)};
}

#pragma pack(push, 2)
struct GroupIconHeader {
    WORD reserved, type, count;
};
struct GroupIconEntry {
    BYTE width, height, colourCount, reserved;
    WORD planes, bitCount;
    DWORD bytesInRes;
    WORD id;
};
#pragma pack(pop)

TEST(AppIcon, GroupHoldsExactlyTheNineImagesAndEachIsWhatItsEntrySays) {
    const auto group = resourceBytes(MAKEINTRESOURCEW(IDI_APP), RT_GROUP_ICON);
    ASSERT_GE(group.size(), sizeof(GroupIconHeader));
    GroupIconHeader header;
    std::copy_n(group.data(), sizeof header, reinterpret_cast<char*>(&header));
    EXPECT_EQ(header.type, 1);
    ASSERT_EQ(group.size(), sizeof header + header.count * sizeof(GroupIconEntry));

    std::multiset<std::pair<int, int>> seen;
    for (WORD i = 0; i < header.count; ++i) {
        GroupIconEntry e;
        std::copy_n(group.data() + sizeof header + i * sizeof e, sizeof e, reinterpret_cast<char*>(&e));
        seen.emplace(e.width, e.bitCount);
        SCOPED_TRACE(std::to_string(e.width) + " px, " + std::to_string(e.bitCount) + " bpp");
        EXPECT_EQ(e.width, e.height);
        EXPECT_EQ(e.colourCount, e.bitCount == 4 ? 16 : 0);

        const auto image = resourceBytes(MAKEINTRESOURCEW(e.id), RT_ICON);
        ASSERT_EQ(image.size(), e.bytesInRes);
        BITMAPINFOHEADER bih;
        ASSERT_GE(image.size(), sizeof bih);
        std::copy_n(image.data(), sizeof bih, reinterpret_cast<char*>(&bih));
        EXPECT_EQ(bih.biWidth, e.width);
        EXPECT_EQ(bih.biHeight, 2 * e.width);  // colour rows and AND mask
        EXPECT_EQ(bih.biBitCount, e.bitCount);

        auto* bits = reinterpret_cast<PBYTE>(const_cast<char*>(image.data()));
        const HICON icon = CreateIconFromResourceEx(bits, static_cast<DWORD>(image.size()), TRUE, 0x00030000, e.width,
                                                    e.width, LR_DEFAULTCOLOR);
        ASSERT_NE(icon, nullptr);
        ICONINFO ii{};
        ASSERT_TRUE(GetIconInfo(icon, &ii));
        BITMAP bm{};
        GetObjectW(ii.hbmColor, sizeof bm, &bm);
        EXPECT_EQ(bm.bmWidth, e.width);
        DeleteObject(ii.hbmColor);
        DeleteObject(ii.hbmMask);
        DestroyIcon(icon);
    }
    const std::multiset<std::pair<int, int>> expected{{16, 4},  {18, 4},  {20, 4},  {22, 4}, {32, 4},
                                                      {16, 24}, {32, 24}, {48, 24}, {32, 32}};
    EXPECT_EQ(seen, expected);
}

TEST(AppIcon, LoadsAtEverySizeItHolds) {
    for (const int size : {16, 18, 20, 22, 32, 48}) {
        SCOPED_TRACE(size);
        const auto icon = static_cast<HICON>(
            LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_APP), IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
        ASSERT_NE(icon, nullptr);
        ICONINFO ii{};
        ASSERT_TRUE(GetIconInfo(icon, &ii));
        BITMAP bm{};
        GetObjectW(ii.hbmColor, sizeof bm, &bm);
        EXPECT_EQ(bm.bmWidth, size);
        EXPECT_EQ(bm.bmHeight, size);
        DeleteObject(ii.hbmColor);
        DeleteObject(ii.hbmMask);
        DestroyIcon(icon);
    }
}

// One picture strip as stored: 24-bit rows, bottom-up, each padded to 4 bytes.
struct Strip {
    int width = 0, height = 0, bitCount = 0;
    std::vector<std::uint8_t> bits;

    COLORREF at(int x, int y) const {
        const int stride = ((width * 3 + 3) / 4) * 4;
        const std::size_t i = static_cast<std::size_t>((height - 1 - y) * stride + x * 3);
        return RGB(bits[i + 2], bits[i + 1], bits[i]);
    }
};

Strip readStrip(int id) {
    const auto data = resourceBytes(MAKEINTRESOURCEW(id), RT_BITMAP);
    Strip s;
    BITMAPINFOHEADER bih;
    if (data.size() < sizeof bih) return s;
    std::copy_n(data.data(), sizeof bih, reinterpret_cast<char*>(&bih));
    s.width = bih.biWidth;
    s.height = bih.biHeight;
    s.bitCount = bih.biBitCount;
    s.bits.assign(data.begin() + bih.biSize, data.end());
    return s;
}

constexpr COLORREF kSilver = RGB(192, 192, 192);
constexpr int kPictureCount = 7;
enum Picture { Removable, Computer, ClosedFolder, Floppy, Harddisk, OpenFolder, CDRom };

struct StripCase {
    int id;
    int size;
};
const StripCase kStrips[] = {{IDB_TREE_PICTURES_16, 16}, {IDB_TREE_PICTURES_24, 24}, {IDB_TREE_PICTURES_32, 32}};

TEST(TreePictures, EachStripHoldsSevenSquare24BitPicturesWithSilverCorners) {
    for (const auto& c : kStrips) {
        SCOPED_TRACE(c.size);
        const Strip s = readStrip(c.id);
        ASSERT_EQ(s.width, kPictureCount * c.size);
        ASSERT_EQ(s.height, c.size);
        ASSERT_EQ(s.bitCount, 24);
        ASSERT_GE(s.bits.size(), static_cast<std::size_t>(((s.width * 3 + 3) / 4) * 4 * s.height));

        std::set<std::vector<COLORREF>> distinct;
        for (int p = 0; p < kPictureCount; ++p) {
            SCOPED_TRACE(p);
            const int x0 = p * c.size;
            // The corners lie outside every drawing, so they are mask colour.
            EXPECT_EQ(s.at(x0, 0), kSilver);
            EXPECT_EQ(s.at(x0 + c.size - 1, c.size - 1), kSilver);
            std::vector<COLORREF> pixels;
            for (int y = 0; y < c.size; ++y)
                for (int x = 0; x < c.size; ++x) pixels.push_back(s.at(x0 + x, y));
            const auto opaque = std::count_if(pixels.begin(), pixels.end(), [](COLORREF v) { return v != kSilver; });
            EXPECT_GT(opaque, c.size * c.size / 4) << "picture is (nearly) empty";
            distinct.insert(pixels);
        }
        EXPECT_EQ(distinct.size(), static_cast<std::size_t>(kPictureCount));
    }
}

TEST(TreePictures, PicturesStandInTheirIndexOrder) {
    // Told apart by their distinctive colours: the lights, the screen, the folders.
    constexpr COLORREF red = RGB(255, 0, 0), green = RGB(0, 255, 0), teal = RGB(0, 128, 128), yellow = RGB(255, 255, 0);
    for (const auto& c : kStrips) {
        SCOPED_TRACE(c.size);
        const Strip s = readStrip(c.id);
        ASSERT_EQ(s.width, kPictureCount * c.size);
        auto has = [&](int picture, COLORREF colour) {
            for (int y = 0; y < c.size; ++y)
                for (int x = 0; x < c.size; ++x)
                    if (s.at(picture * c.size + x, y) == colour) return true;
            return false;
        };
        const std::vector<COLORREF> colours{red, green, teal, yellow};
        const std::vector<std::vector<bool>> expected{
            /* Removable    */ {true, false, false, false},
            /* Computer     */ {false, false, true, false},
            /* ClosedFolder */ {false, false, false, true},
            /* Floppy       */ {true, false, false, false},
            /* Harddisk     */ {false, true, false, false},
            /* OpenFolder   */ {false, false, false, true},
            /* CDRom        */ {false, true, false, false},
        };
        for (int p = 0; p < kPictureCount; ++p)
            for (std::size_t k = 0; k < colours.size(); ++k)
                EXPECT_EQ(has(p, colours[k]), expected[static_cast<std::size_t>(p)][k])
                    << "picture " << p << ", colour " << k;
        // The removable drive has its light at the left, the floppy at the right.
        auto redColumn = [&](int picture) {
            for (int x = 0; x < c.size; ++x)
                for (int y = 0; y < c.size; ++y)
                    if (s.at(picture * c.size + x, y) == red) return x;
            return -1;
        };
        EXPECT_LT(redColumn(Removable), c.size / 2);
        EXPECT_GT(redColumn(Floppy), c.size / 2);
    }
}

TEST(TreePictures, ImageListTakesSilverAsTransparent) {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_TREEVIEW_CLASSES};
    ASSERT_TRUE(InitCommonControlsEx(&icc));
    for (const auto& c : kStrips) {
        SCOPED_TRACE(c.size);
        const auto bitmap = static_cast<HBITMAP>(
            LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(c.id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
        ASSERT_NE(bitmap, nullptr);
        DIBSECTION dib{};
        ASSERT_EQ(GetObjectW(bitmap, sizeof dib, &dib), static_cast<int>(sizeof dib));
        EXPECT_EQ(dib.dsBm.bmBitsPixel, 24);

        const HIMAGELIST list = ImageList_Create(c.size, c.size, ILC_COLOR24 | ILC_MASK, kPictureCount, 0);
        ASSERT_NE(list, nullptr);
        EXPECT_EQ(ImageList_AddMasked(list, bitmap, kSilver), 0);
        EXPECT_EQ(ImageList_GetImageCount(list), kPictureCount);

        // Draw every picture onto magenta: the corners must show the ground, the
        // middle of the picture must not.
        const HDC screen = GetDC(nullptr);
        const HDC dc = CreateCompatibleDC(screen);
        const HBITMAP canvas = CreateCompatibleBitmap(screen, c.size, c.size);
        ReleaseDC(nullptr, screen);
        const HGDIOBJ old = SelectObject(dc, canvas);
        constexpr COLORREF magenta = RGB(255, 0, 255);
        const HBRUSH ground = CreateSolidBrush(magenta);
        for (int p = 0; p < kPictureCount; ++p) {
            SCOPED_TRACE(p);
            const RECT all{0, 0, c.size, c.size};
            FillRect(dc, &all, ground);
            ASSERT_TRUE(ImageList_Draw(list, p, dc, 0, 0, ILD_TRANSPARENT));
            EXPECT_EQ(GetPixel(dc, 0, 0), magenta);
            EXPECT_EQ(GetPixel(dc, c.size - 1, c.size - 1), magenta);
            EXPECT_NE(GetPixel(dc, c.size / 2, c.size / 2 + 1), magenta);
        }
        DeleteObject(ground);
        SelectObject(dc, old);
        DeleteObject(canvas);
        DeleteDC(dc);
        ImageList_Destroy(list);
        DeleteObject(bitmap);
    }
}

TEST(Manifest, DeclaresCommonControlsSixDpiAwarenessAndLongPaths) {
    const auto text = resourceBytes(MAKEINTRESOURCEW(1), RT_MANIFEST);
    ASSERT_FALSE(text.empty());
    const std::string manifest(text);
    for (const char* needle : {"name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"",
                               "publicKeyToken=\"6595b64144ccf1df\"", ">PerMonitorV2", ">true/pm</dpiAware>",
                               "level=\"asInvoker\" uiAccess=\"false\"", "<longPathAware", ">true</longPathAware>",
                               "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}"}) {
        EXPECT_NE(manifest.find(needle), std::string::npos) << needle;
    }
}

TEST(Manifest, TakesEffect) {
    // The loader reads the manifest at start: a malformed one would leave us with
    // the old common controls and a DPI-unaware process.
    const HMODULE comctl = LoadLibraryW(L"comctl32.dll");
    ASSERT_NE(comctl, nullptr);
    // Version 6 is loaded from the side-by-side store; the old one from the system
    // folder. (Wine's DllGetVersion says 5.81 for both, so the path is what tells.)
    wchar_t path[MAX_PATH]{};
    ASSERT_GT(GetModuleFileNameW(comctl, path, MAX_PATH), 0u);
    std::wstring lower(path);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](wchar_t ch) { return static_cast<wchar_t>(towlower(ch)); });
    EXPECT_NE(lower.find(L"\\winsxs\\"), std::wstring::npos) << lower;
    EXPECT_NE(lower.find(L"microsoft.windows.common-controls_6595b64144ccf1df_6.0."), std::wstring::npos) << lower;
    FreeLibrary(comctl);

    EXPECT_EQ(GetAwarenessFromDpiAwarenessContext(GetThreadDpiAwarenessContext()), DPI_AWARENESS_PER_MONITOR_AWARE);
}

}  // namespace
