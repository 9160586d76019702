#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "LayerHost.h"
#include "tools/picturesweep/BitmapGrid.h"
#include "tools/picturesweep/CostPictures.h"
#include "view/BitmapFileCheck.h"
#include "view/IllustrationLayer.h"

namespace {

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

bool WriteBytes(const std::wstring& path, const std::vector<uint8_t>& bytes)
{
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return false;
    DWORD done = 0;
    if (!bytes.empty())
        WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
    CloseHandle(f);
    return true;
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
        ASSERT_TRUE(WriteBytes(name, bytes)) << std::string(name.begin(), name.end());
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

// A bitmap written by another program for this test (see CMakeLists.txt).
std::vector<uint8_t> WrittenElsewhere(const char* name)
{
    std::vector<uint8_t> bytes;
    FILE* f = std::fopen((std::string(VELLUMARK_TEST_PICTURES "/") + name).c_str(), "rb");
    for (int c; f != nullptr && (c = std::fgetc(f)) != EOF;)
        bytes.push_back(static_cast<uint8_t>(c));
    if (f != nullptr)
        std::fclose(f);
    return bytes;
}

TEST_F(PictureFolder, WellFormedPicturesShowAndOnlyCrashingDamageIsRefused)
{
    const COLORREF red = RGB(255, 0, 0); // the colour of the pictures written elsewhere
    const std::vector<uint8_t> rle = WrittenElsewhere("rle8.bmp");
    ASSERT_GT(rle.size(), 54u);
    // Run-length pixels placed past the end of the file, or a stream too
    // short for the picture that the image size says runs on past the end:
    // loading either one ended the program.
    std::vector<uint8_t> rleAfterEnd = rle;
    Put32(rleAfterEnd, 10, static_cast<uint32_t>(rle.size()) + 8192);
    std::vector<uint8_t> rleRunsOn = rle;
    rleRunsOn.resize(static_cast<size_t>(rle[10] | rle[11] << 8));
    for (int i = 0; i < 100; ++i)
        rleRunsOn.insert(rleRunsOn.end(), {255, 7});
    Put32(rleRunsOn, 22, 30000);
    Put32(rleRunsOn, 34, 1u << 20);
    const std::string text = "this is not a picture at all, only words in a file";

    const struct {
        const wchar_t* name;
        std::vector<uint8_t> bytes;
        bool loads;
        int32_t redPixels; // -1: not looked at
    } cases[] = {
        {L"good.bmp", SolidBitmap(40, 30, red), true, 40 * 30},
        {L"rle8.bmp", rle, true, 40 * 30},
        {L"core.bmp", WrittenElsewhere("core.bmp"), true, 40 * 30},
        {L"wide.bmp", SolidBitmap(9000, 2, red), true, 200 * 2},
        // Wine's loader fills a top-down picture black, so only its loading
        // is checked.
        {L"topdown.bmp", SolidBitmap(10, -10, red), true, -1},
        {L"empty.bmp", {}, false, 0},
        {L"words.bmp", std::vector<uint8_t>(text.begin(), text.end()), false, 0},
        {L"rle-after-end.bmp", rleAfterEnd, false, 0},
        {L"rle-runs-on.bmp", rleRunsOn, false, 0},
        // Damage that ended the program in the system loader: pixels, as
        // the headers describe them, past the end of the file.
        {L"d01-sides.bmp", GridBitmapBytes("d01-h108-plain-sides-past-end"), false, 0},
        {L"d08-sides.bmp", GridBitmapBytes("d08-h040-plain-sides-past-end"), false, 0},
        {L"d01-offset.bmp", GridBitmapBytes("d01-h124-plain-offset-far"), false, 0},
        {L"core-offset.bmp", GridBitmapBytes("d32-h012-plain-offset-past-page"), false, 0},
        {L"rle4-offset.bmp", GridBitmapBytes("d04-h040-rle4-offset-far"), false, 0},
        {L"core-palette.bmp", GridBitmapBytes("d08-h012-plain-palette-past-end"), false, 0},
        {L"rle8-offset-in-header.bmp", GridBitmapBytes("d08-h040-rle8-offset-in-file-header"), false, 0},
    };
    LayerHost host(200, 200);
    for (const auto& c : cases) {
        const std::string name(c.name, c.name + wcslen(c.name));
        Write(c.name, c.bytes);
        IllustrationLayer layer(&host);
        ASSERT_EQ(layer.SetIllustrationCount(1), 1);
        EXPECT_EQ(layer.PlaceIllustration(0, Name(c.name), 0, 0) != nullptr, c.loads) << name;
        host.Clear(RGB(255, 255, 255));
        layer.Draw(host.Hdc());
        if (c.redPixels >= 0) {
            EXPECT_EQ(host.CountPixels(red, 0, 0, 200, 200), c.redPixels) << name;
        }
    }
    IllustrationLayer layer(&host);
    EXPECT_EQ(layer.PlaceIllustration(0, u"missing.bmp", 0, 0), nullptr);
    // Every depth, header and compression, well-formed, also with its pixels
    // ending at a page end and with a short colour table. The system loader
    // takes no header of 52 or 56 bytes.
    for (const GridBitmap& b : MakeBitmapGrid()) {
        if (b.name.find("-intact") == std::string::npos || b.name.find("-h052-") != std::string::npos ||
            b.name.find("-h056-") != std::string::npos)
            continue;
        Write(L"grid.bmp", b.bytes);
        BITMAP info = {};
        EXPECT_NE(GetObjectW(layer.PlaceIllustration(0, u"grid.bmp", 0, 0), sizeof info, &info), 0) << b.name;
        EXPECT_EQ(info.bmWidth * info.bmHeight, 24 * 6) << b.name;
    }
}

std::wstring ProgramFolder()
{
    wchar_t module[MAX_PATH];
    std::wstring path(module, GetModuleFileNameW(nullptr, module, MAX_PATH));
    return path.substr(0, path.find_last_of(L'\\'));
}

LONG LoadedWidth(const wchar_t* name)
{
    BITMAP info = {};
    GdiObject<HBITMAP> bitmap(IllustrationLayer::LoadIllustration(nullptr, Name(name)));
    return GetObjectW(bitmap.Get(), sizeof info, &info) != 0 ? info.bmWidth : 0;
}

// What another program could do to the file while the loader is about to
// read it.
struct Interference {
    std::wstring path;
    bool opened;
    bool movedAway;
    bool replaced;
} interference;

void Interfere(const TCHAR* path)
{
    std::wstring wide(path, path + lstrlen(path));
    interference.path = wide;
    HANDLE h = CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    interference.opened = h != INVALID_HANDLE_VALUE;
    if (interference.opened)
        CloseHandle(h);
    interference.movedAway = MoveFileExW(wide.c_str(), L"moved.bmp", 0) != 0;
    interference.replaced = MoveFileExW(L"other.bmp", wide.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

TEST_F(PictureFolder, TheLoaderReadsTheVeryFileTheCheckRead)
{
    // The loader, handed a bare name, looks beside the program first.
    const std::wstring beside = ProgramFolder() + L"\\vm_same_name.bmp";
    const std::vector<uint8_t> other = SolidBitmap(40, 30, RGB(0, 0, 255));
    ASSERT_TRUE(WriteBytes(beside, other));
    Write(L"vm_same_name.bmp", SolidBitmap(20, 10, RGB(255, 0, 0)));
    EXPECT_EQ(LoadedWidth(L"vm_same_name.bmp"), 20);
    DeleteFileW(beside.c_str());

    // Between the check and the load nothing may write the file, move it
    // away or put another in its place.
    Write(L"other.bmp", other);
    written.push_back(L"moved.bmp");
    IllustrationLayer::loadHook = Interfere;
    EXPECT_EQ(LoadedWidth(L"vm_same_name.bmp"), 20);
    IllustrationLayer::loadHook = nullptr;
    EXPECT_EQ(interference.path, L".\\vm_same_name.bmp");
    EXPECT_FALSE(interference.opened);
    EXPECT_FALSE(interference.movedAway);
    EXPECT_FALSE(interference.replaced);
}

TEST_F(PictureFolder, APictureInAFolderTheCodePageCannotSpellIsTheFolderOwn)
{
    // A best-fit spelling of the fullwidth P in the 8-bit code page is the
    // plain P of the folder beside it.
    const std::wstring own = folder + L"\\\xFF30ics";
    const std::wstring decoy = folder + L"\\Pics";
    char bestFit[8] = {};
    WideCharToMultiByte(CP_ACP, 0, L"\xFF30ics", -1, bestFit, sizeof bestFit, nullptr, nullptr);
    ASSERT_STREQ(bestFit, "Pics") << "code page " << GetACP();
    ASSERT_TRUE(CreateDirectoryW(own.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(decoy.c_str(), nullptr));
    ASSERT_TRUE(WriteBytes(own + L"\\pic.bmp", SolidBitmap(20, 10, RGB(255, 0, 0))));
    ASSERT_TRUE(WriteBytes(decoy + L"\\pic.bmp", SolidBitmap(40, 30, RGB(0, 0, 255))));
    SetCurrentDirectoryW(own.c_str());
    EXPECT_EQ(LoadedWidth(L"pic.bmp"), 20);
    SetCurrentDirectoryW(folder.c_str());
    for (const std::wstring& dir : {own, decoy}) {
        DeleteFileW((dir + L"\\pic.bmp").c_str());
        RemoveDirectoryW(dir.c_str());
    }
}

// A file of bytes and then a hole of zeros up to fileBytes.
bool WriteSparse(const std::wstring& name, const std::vector<uint8_t>& bytes, uint64_t fileBytes)
{
    HANDLE f = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return false;
    DWORD done = 0;
    LARGE_INTEGER end;
    end.QuadPart = static_cast<LONGLONG>(fileBytes);
    const bool made = WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr) &&
                      SetFilePointerEx(f, end, nullptr, FILE_BEGIN) && SetEndOfFile(f);
    CloseHandle(f);
    return made;
}

TEST_F(PictureFolder, PicturesWithinTheCostBoundsLoadQuicklyAndPastThemAreRefused)
{
    const struct {
        const wchar_t* name;
        std::vector<uint8_t> bytes;
        uint64_t fileBytes; // more than the bytes: the rest a hole
        bool loads;
    } cases[] = {
        {L"bitmap-bound.bmp", PlainPicture(32, false, 2048, 1024), 0, true},
        {L"bitmap-past.bmp", PlainPicture(24, false, 2048, 1025), 0, false},
        {L"spans-bound.bmp", RunLengthPicture(8, 16, 2048, OneRunARow(2048, 1, true)), 0, true},
        {L"spans-past.bmp", RunLengthPicture(8, 16, 2049, OneRunARow(2049, 1, true)), 0, false},
        {L"file-bound.bmp", SolidBitmap(20, 10, RGB(255, 0, 0)), PictureMostFileBytes, true},
        {L"file-past.bmp", SolidBitmap(20, 10, RGB(255, 0, 0)), PictureMostFileBytes + 1, false},
    };
    for (const auto& c : cases) {
        const std::string name(c.name, c.name + wcslen(c.name));
        ASSERT_TRUE(WriteSparse(c.name, c.bytes, std::max<uint64_t>(c.fileBytes, c.bytes.size()))) << name;
        written.push_back(c.name);
        const ULONGLONG start = GetTickCount64();
        EXPECT_EQ(LoadedWidth(c.name) != 0, c.loads) << name;
        // Each takes well under a tenth of a second on an idle machine.
        EXPECT_LT(GetTickCount64() - start, 500u) << name;
        DeleteFileW(c.name);
    }
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
