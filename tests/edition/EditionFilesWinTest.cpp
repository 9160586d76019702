// The demo edition's pictures and first tracks, opened the way Windows opens
// them for the program: bitmaps through LoadImage, tracks through mmio.
#include <gtest/gtest.h>

#include <windows.h>
#include <mmsystem.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>

namespace {

struct BitmapCloser {
    void operator()(HBITMAP bitmap) const { DeleteObject(bitmap); }
};
using OwnedBitmap = std::unique_ptr<std::remove_pointer_t<HBITMAP>, BitmapCloser>;

struct MmioCloser {
    void operator()(HMMIO file) const { mmioClose(file, 0); }
};
using OwnedMmio = std::unique_ptr<std::remove_pointer_t<HMMIO>, MmioCloser>;

struct Picture {
    const wchar_t* name;
    int gapAbove;
    int advance;
};

const Picture Pictures[] = {
    {L"Linden_Marsh_01.bmp", 30, 590}, {L"Quarrystone_02.bmp", 30, 620}, {L"Tamsin_02.bmp", 25, 600},
    {L"Terrace_03.bmp", 25, 620},      {L"Corvane_04.bmp", 25, 620},     {L"Parlour_05.bmp", 25, 620},
    {L"Osric_Fenn_07.bmp", 25, 620},   {L"Cellar_08.bmp", 25, 620},      {L"Orchard_09.bmp", 25, 620},
};

// Track name -> end of its last row in milliseconds, from the rows kept
// beside the edition (tab-separated: ... name, count, start h m s ms, end h m s ms).
std::map<std::string, uint32_t> LastRowEnds()
{
    std::map<std::string, uint32_t> ends;
    std::ifstream rows(".rows.tsv");
    std::string line;
    while (std::getline(rows, line)) {
        std::istringstream fields(line);
        std::string row, paragraph, first, last, set, name, count;
        uint32_t t[8] = {};
        fields >> row >> paragraph >> first >> last >> set >> name >> count;
        for (uint32_t& value : t)
            fields >> value;
        const uint32_t end = t[7] + 1000 * (t[6] + 60 * (t[5] + 60 * t[4]));
        if (end > ends[name])
            ends[name] = end;
    }
    return ends;
}

class EditionFilesWinTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { std::filesystem::current_path("demo-edition"); }
};

TEST_F(EditionFilesWinTest, EveryPictureLoadsAtASizeThatFitsItsRoom)
{
    for (const Picture& picture : Pictures) {
        OwnedBitmap bitmap(static_cast<HBITMAP>(
            LoadImageW(nullptr, picture.name, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE)));
        ASSERT_TRUE(bitmap) << "cannot load picture " << std::distance(Pictures, &picture);
        BITMAP info = {};
        ASSERT_NE(GetObjectW(bitmap.get(), sizeof(info), &info), 0);
        EXPECT_GT(info.bmWidth, 0);
        EXPECT_LE(info.bmWidth, 1024 - 64 - 200);
        EXPECT_LE(picture.gapAbove + info.bmHeight, picture.advance - 10);
    }
}

TEST_F(EditionFilesWinTest, GeneratedTracksOpenAsPcmAndLastAsLongAsTheirRows)
{
    const std::map<std::string, uint32_t> ends = LastRowEnds();
    ASSERT_EQ(ends.size(), 57u);
    int opened = 0;
    for (const auto& [name, end] : ends) {
        if (!std::filesystem::exists(name))
            continue; // the test edition holds a slice of the tracks
        std::string path = name;
        OwnedMmio file(mmioOpenA(path.data(), nullptr, MMIO_READ | MMIO_ALLOCBUF));
        ASSERT_TRUE(file) << name;
        MMCKINFO riff = {};
        riff.fccType = mmioFOURCC('W', 'A', 'V', 'E');
        ASSERT_EQ(mmioDescend(file.get(), &riff, nullptr, MMIO_FINDRIFF), MMSYSERR_NOERROR) << name;
        MMCKINFO chunk = {};
        chunk.ckid = mmioFOURCC('f', 'm', 't', ' ');
        ASSERT_EQ(mmioDescend(file.get(), &chunk, &riff, MMIO_FINDCHUNK), MMSYSERR_NOERROR) << name;
        EXPECT_LE(chunk.cksize, 18u) << name;
        // The player reads at most the 18 bytes of the format record.
        unsigned char record[18] = {};
        const LONG size = static_cast<LONG>(chunk.cksize < 18 ? chunk.cksize : 18);
        ASSERT_EQ(mmioRead(file.get(), reinterpret_cast<HPSTR>(record), size), size);
        WAVEFORMATEX format = {};
        std::memcpy(&format, record, sizeof(record));
        EXPECT_EQ(format.wFormatTag, WAVE_FORMAT_PCM) << name;
        EXPECT_EQ(format.nChannels, 1) << name;
        EXPECT_EQ(format.nAvgBytesPerSec, format.nSamplesPerSec * format.nBlockAlign) << name;
        EXPECT_EQ(format.cbSize, 0) << name;
        mmioAscend(file.get(), &chunk, 0);
        chunk.ckid = mmioFOURCC('d', 'a', 't', 'a');
        ASSERT_EQ(mmioDescend(file.get(), &chunk, &riff, MMIO_FINDCHUNK), MMSYSERR_NOERROR) << name;
        // The player's own duration: whole milliseconds by (bytes per second div 1000).
        const uint32_t durationMs = chunk.cksize / (format.nAvgBytesPerSec / 1000);
        EXPECT_GE(durationMs, end) << name;
        ++opened;
    }
    EXPECT_GE(opened, 2);
}

} // namespace
