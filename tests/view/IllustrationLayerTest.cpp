#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "LayerHost.h"
#include "view/IllustrationLayer.h"

namespace {

void Put16(std::vector<uint8_t>& b, size_t at, uint32_t v)
{
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}

void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v)
{
    Put16(b, at, v & 0xFFFF);
    Put16(b, at + 2, v >> 16);
}

// A 24-bit bitmap file of one colour.
std::vector<uint8_t> SolidBitmap(int32_t width, int32_t height, COLORREF color)
{
    const uint32_t row = ((static_cast<uint32_t>(width) * 24 + 31) / 32) * 4;
    const uint32_t data = row * static_cast<uint32_t>(height < 0 ? -height : height);
    std::vector<uint8_t> b(54 + data, 0);
    b[0] = 'B';
    b[1] = 'M';
    Put32(b, 2, static_cast<uint32_t>(b.size()));
    Put32(b, 10, 54);
    Put32(b, 14, 40);
    Put32(b, 18, static_cast<uint32_t>(width));
    Put32(b, 22, static_cast<uint32_t>(height));
    Put16(b, 26, 1);
    Put16(b, 28, 24);
    Put32(b, 34, data);
    for (uint32_t y = 0; y < data / row; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            uint8_t* p = &b[54 + y * row + static_cast<uint32_t>(x) * 3];
            p[0] = GetBValue(color);
            p[1] = GetGValue(color);
            p[2] = GetRValue(color);
        }
    }
    return b;
}

// A temporary folder made the current directory, as the program's working
// directory holds its pictures.
class PictureFolder : public ::testing::Test {
protected:
    void SetUp() override
    {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        folder = std::wstring(temp) + L"vm_view_pictures_" + std::to_wstring(GetCurrentProcessId());
        CreateDirectoryW(folder.c_str(), nullptr);
        GetCurrentDirectoryW(MAX_PATH, previous);
        SetCurrentDirectoryW(folder.c_str());
    }

    void TearDown() override
    {
        SetCurrentDirectoryW(previous);
        for (const std::wstring& name : written)
            DeleteFileW((folder + L"\\" + name).c_str());
        RemoveDirectoryW(folder.c_str());
    }

    void Write(const std::wstring& name, const std::vector<uint8_t>& bytes)
    {
        HANDLE f = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(f, INVALID_HANDLE_VALUE);
        DWORD done = 0;
        if (!bytes.empty())
            WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
        CloseHandle(f);
        written.push_back(name);
    }

    std::wstring folder;
    wchar_t previous[MAX_PATH];
    std::vector<std::wstring> written;
};

const char16_t* Name(const std::wstring& s)
{
    return reinterpret_cast<const char16_t*>(s.c_str());
}

TEST_F(PictureFolder, GoodPicturesLoadAndHostileFilesLeaveAnEmptyPlace)
{
    const COLORREF red = RGB(200, 20, 30);
    const std::vector<uint8_t> good = SolidBitmap(40, 30, red);

    std::vector<uint8_t> truncated = good;
    truncated.resize(54 + 100);
    std::vector<uint8_t> huge = SolidBitmap(4, 4, red);
    Put32(huge, 18, 60000);
    Put32(huge, 22, 60000);
    std::vector<uint8_t> offsetPastEnd = good;
    Put32(offsetPastEnd, 10, 0x7FFFFFF0);
    std::vector<uint8_t> badHeader = good;
    Put32(badHeader, 14, 0xFFFFFFF0);
    std::vector<uint8_t> zeroWidth = good;
    Put32(zeroWidth, 18, 0);
    std::vector<uint8_t> paletteTooLong = SolidBitmap(4, 4, red);
    Put16(paletteTooLong, 28, 8);
    Put32(paletteTooLong, 46, 0x40000000);
    std::vector<uint8_t> rle = good;
    Put32(rle, 30, BI_RLE8);
    const std::string text = "this is not a picture at all, only words in a file";
    std::vector<uint8_t> notBitmap(text.begin(), text.end());
    std::vector<uint8_t> topDown = SolidBitmap(10, -10, red);

    const struct {
        const wchar_t* name;
        const std::vector<uint8_t>* bytes;
        bool loads;
    } cases[] = {
        {L"good.bmp", &good, true},
        {L"topdown.bmp", &topDown, true},
        {L"empty.bmp", nullptr, false},
        {L"truncated.bmp", &truncated, false},
        {L"huge.bmp", &huge, false},
        {L"offset.bmp", &offsetPastEnd, false},
        {L"header.bmp", &badHeader, false},
        {L"zerowidth.bmp", &zeroWidth, false},
        {L"palette.bmp", &paletteTooLong, false},
        {L"rle.bmp", &rle, false},
        {L"words.bmp", &notBitmap, false},
    };
    const std::vector<uint8_t> nothing;
    for (const auto& c : cases)
        Write(c.name, c.bytes != nullptr ? *c.bytes : nothing);

    LayerHost host(200, 200);
    IllustrationLayer layer(&host);
    ASSERT_EQ(layer.SetIllustrationCount(static_cast<int32_t>(sizeof(cases) / sizeof(cases[0])) + 1), 1);
    uint32_t index = 0;
    for (const auto& c : cases) {
        const std::wstring name = c.name;
        const std::vector<uint8_t>& bytes = c.bytes != nullptr ? *c.bytes : nothing;
        EXPECT_EQ(IsUsableBitmapFile(bytes.data(), bytes.size()), c.loads) << std::string(name.begin(), name.end());
        const HBITMAP bitmap = layer.PlaceIllustration(index, Name(name), 10 + 50 * static_cast<int32_t>(index), 10);
        EXPECT_EQ(bitmap != nullptr, c.loads) << std::string(name.begin(), name.end());
        EXPECT_EQ(layer.IllustrationAt(index).bitmap.Get(), bitmap);
        ++index;
    }
    EXPECT_EQ(layer.PlaceIllustration(index, u"missing.bmp", 10, 10), nullptr);

    // Only the good pictures show; the broken ones draw nothing.
    layer.Draw(host.Hdc());
    EXPECT_EQ(host.CountPixels(red, 10, 10, 50, 40), 40 * 30);
    // (The top-down picture at y 60 loads, but Wine's loader fills it black,
    // so its colour is not checked.)
    EXPECT_EQ(host.CountPixels(red, 0, 0, 200, 200), 40 * 30);
}

TEST_F(PictureFolder, PicturesAreDrawnAtTheirPlaceMinusTheShiftWithinTheBand)
{
    const COLORREF blue = RGB(10, 40, 220);
    Write(L"tall.bmp", SolidBitmap(8, 1100, blue));
    Write(L"small.bmp", SolidBitmap(20, 10, blue));

    LayerHost host(200, 100);
    BookIllustrationLayer layer(&host);
    ASSERT_EQ(layer.SetIllustrationCount(3), 1);
    ASSERT_NE(layer.PlaceIllustration(0, u"tall.bmp", 2000, 30), nullptr);
    ASSERT_NE(layer.PlaceIllustration(1, u"small.bmp", 500, 100), nullptr);
    // Entry 2 is never placed and must draw nothing. An index past the list
    // goes to the default entry, which is never drawn.
    ASSERT_NE(layer.PlaceIllustration(7, u"small.bmp", 0, 0), nullptr);

    const struct {
        int32_t shift;
        bool tallShows;
        bool smallShows;
    } cases[] = {
        {2999, true, false}, // the tall picture's top 999 above the client area: still copied
        {3000, false, false}, // 1000 above: skipped, though its lower part would reach in
        {1950, true, false},
        {2000 - 100, false, false}, // top at the client's bottom edge: outside
        {450, false, true},
        {0, false, false},
    };
    for (const auto& c : cases) {
        host.Clear(RGB(255, 255, 255));
        host.SetShift(c.shift);
        layer.Draw(host.Hdc());
        EXPECT_EQ(host.CountPixels(blue, 30, 0, 38, 100) > 0, c.tallShows) << c.shift;
        EXPECT_EQ(host.CountPixels(blue, 100, 0, 120, 100) > 0, c.smallShows) << c.shift;
        EXPECT_EQ(host.CountPixels(blue, 0, 0, 20, 100), 0) << c.shift << ": the default entry is never drawn";
    }
    host.Clear(RGB(255, 255, 255));
    host.SetShift(450);
    layer.Draw(host.Hdc());
    EXPECT_EQ(host.CountPixels(blue, 100, 50, 120, 60), 200);
}

TEST_F(PictureFolder, EmptyListDrawsNothing)
{
    LayerHost host(100, 100);
    IllustrationLayer layer(&host);
    EXPECT_EQ(layer.SetIllustrationCount(0), 0);
    EXPECT_EQ(layer.SetIllustrationCount(-3), 0);
    layer.Draw(host.Hdc());
    EXPECT_EQ(host.CountPixels(RGB(255, 255, 255), 0, 0, 100, 100), 100 * 100);
}

} // namespace
