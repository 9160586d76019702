// The compiled alignment, checked row by row against what the edition states
// about it: the block and track tables, the rows it gives in full, the bounds
// of each range, and the irregularities exactly where they are listed.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <new>
#include <set>
#include <string>
#include <vector>

#include "book/SyncFragment.h"
#include "book/BookLoader.h"

// Lets a test make the table's one big allocation fail.
static bool failLargeArrays = false;

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept
{
    if (failLargeArrays && size >= SyncFragmentCount * sizeof(SyncFragment))
        return nullptr;
    try {
        return ::operator new[](size);
    } catch (...) {
        return nullptr;
    }
}

namespace {

int Ms(int m, int s, int ms) { return (m * 60 + s) * 1000 + ms; }

struct Row {
    int paragraph, first, last, isSet;
    std::string track;
    uint32_t trackCount;
    bool terminated;
    int start, end;
    int startH, endH, startMin, endMin;
};

std::string Narrow(const WideString& w)
{
    std::string s;
    for (uint32_t i = 0; i < w.count && w.items[i] != 0; ++i)
        s += static_cast<char>(w.items[i]);
    return s;
}

class SyncTableTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        SyncTable table;
        built = BookLoader::BuildSyncTable(table);
        count = table.count;
        rows.clear();
        for (uint32_t i = 0; i < table.count; ++i) {
            const SyncFragment& f = table.At(i);
            Row r;
            r.paragraph = f.ParagraphIndex();
            r.first = f.FirstChar();
            r.last = f.LastChar();
            r.isSet = f.IsSet();
            r.track = Narrow(f.TrackFile());
            r.trackCount = f.TrackFile().count;
            r.terminated = f.TrackFile().count > 0 && f.TrackFile().items[f.TrackFile().count - 1] == 0;
            r.start = static_cast<int>(f.Start().ToMilliseconds());
            r.end = static_cast<int>(f.End().ToMilliseconds());
            r.startH = f.Start().Hours();
            r.endH = f.End().Hours();
            r.startMin = f.Start().Minutes();
            r.endMin = f.End().Minutes();
            rows.push_back(r);
        }
    }
    static bool SameTrack(int i, int j) { return rows[i].track == rows[j].track; }
    static int Pause(int i) { return rows[i + 1].start - rows[i].end; }

    static bool built;
    static uint32_t count;
    static std::vector<Row> rows;
};
bool SyncTableTest::built = false;
uint32_t SyncTableTest::count = 0;
std::vector<Row> SyncTableTest::rows;

TEST_F(SyncTableTest, EveryRowIsSetWithATerminatedNineUnitName)
{
    EXPECT_TRUE(built);
    ASSERT_EQ(count, SyncFragmentCount);
    for (size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(rows[i].isSet, 1);
        EXPECT_EQ(rows[i].trackCount, 9u);
        EXPECT_TRUE(rows[i].terminated);
        EXPECT_EQ(rows[i].track.size(), 8u);
    }
}

TEST_F(SyncTableTest, RowsGivenInFull)
{
    struct Given { int row, paragraph, first, last; const char* track; int start, end; };
    const Given given[] = {
        {0, 0, 0, 16, "hd01.WAV", Ms(0, 5, 170), Ms(0, 6, 340)},
        {1, 2, 0, 18, "hd01.WAV", Ms(0, 6, 630), Ms(0, 8, 240)},
        {2, 4, 0, 8, "hd01.WAV", Ms(0, 16, 70), Ms(0, 16, 890)},
        {3, 5, 0, 38, "hd01.WAV", Ms(0, 19, 520), Ms(0, 21, 940)},
        {6, 6, 0, 22, "hd01.WAV", Ms(0, 26, 800), Ms(0, 27, 840)},
        {7, 6, 24, 45, "hd01.WAV", Ms(0, 27, 850), Ms(0, 28, 970)},
        {94, 10, 658, 809, "hd01.WAV", Ms(4, 31, 260), Ms(4, 40, 150)},
        {96, 10, 889, 940, "hd01.WAV", Ms(4, 45, 150), Ms(4, 47, 860)},
        {97, 11, 0, 49, "hd02.WAV", Ms(0, 0, 970), Ms(0, 3, 360)},
        {116, 17, 194, 265, "hd02.WAV", Ms(1, 26, 520), 90292},
        {117, 17, 267, 351, "hd02.WAV", Ms(1, 30, 580), Ms(1, 36, 430)},
        {173, 21, 235, 282, "hd02.WAV", Ms(4, 44, 420), Ms(4, 47, 220)},
        {174, 21, 284, 315, "hd03.WAV", Ms(0, 1, 20), Ms(0, 2, 970)},
        {219, 27, 141, 167, "hd03.WAV", Ms(2, 21, 400), Ms(2, 22, 820)},
        {220, 27, 151, 225, "hd03.WAV", Ms(2, 23, 290), Ms(2, 25, 270)},
        {830, 148, 425, 470, "hd07.WAV", Ms(4, 57, 720), Ms(5, 0, 550)},
        {831, 150, 0, 8, "hd08.WAV", Ms(0, 2, 90), Ms(0, 2, 880)},
        {1624, 314, 64, 78, "hd15.WAV", Ms(0, 12, 190), Ms(0, 12, 990)},
        {1625, 314, 78, 116, "hd15.WAV", Ms(0, 13, 710), Ms(0, 15, 910)},
        {1737, 333, 117, 129, "hd15.WAV", Ms(3, 59, 330), Ms(3, 59, 620)},
        {1739, 334, 16, 70, "hd15.WAV", Ms(4, 1, 730), Ms(4, 4, 210)},
        {1740, 335, 0, 49, "hd16.WAV", Ms(0, 8, 470), Ms(0, 11, 140)},
        {1799, 350, 0, 7, "hd16.WAV", Ms(2, 30, 770), Ms(2, 31, 260)},
        {1800, 350, 9, 20, "hd16.WAV", Ms(2, 31, 320), Ms(2, 31, 880)},
        {1870, 363, 159, 201, "hd16.WAV", Ms(5, 3, 340), Ms(5, 5, 260)},
        {1871, 364, 0, 33, "hd17.WAV", Ms(0, 1, 30), Ms(0, 2, 460)},
        {1941, 373, 358, 395, "hd17.WAV", Ms(2, 49, 570), Ms(2, 50, 930)},
        {1942, 373, 397, 436, "hd17.WAV", Ms(2, 50, 930), Ms(2, 53, 430)},
        {2006, 385, 250, 265, "hd17.WAV", Ms(5, 19, 980), Ms(5, 20, 720)},
        {2007, 385, 267, 300, "hd18.WAV", Ms(0, 1, 280), Ms(0, 3, 90)},
        {2099, 407, 368, 403, "hd18.WAV", Ms(3, 15, 340), Ms(3, 17, 950)},
        {2100, 407, 405, 495, "hd18.WAV", Ms(3, 19, 180), Ms(3, 23, 310)},
        {2148, 420, 81, 154, "hd18.WAV", Ms(5, 21, 670), Ms(5, 25, 650)},
        {2149, 420, 156, 246, "hd19.WAV", Ms(0, 0, 970), Ms(0, 5, 410)},
        {2180, 425, 0, 22, "hd19.WAV", Ms(1, 38, 660), Ms(1, 39, 730)},
        {2181, 425, 24, 98, "hd19.WAV", Ms(1, 39, 720), Ms(1, 43, 450)},
        {2258, 441, 186, 242, "hd19.WAV", Ms(5, 15, 220), Ms(5, 17, 970)},
        {2259, 443, 0, 8, "hd20.WAV", Ms(0, 1, 670), Ms(0, 2, 320)},
        {2268, 447, 113, 180, "hd20.WAV", Ms(0, 35, 180), Ms(0, 38, 630)},
        {2269, 447, 180, 224, "hd20.WAV", Ms(0, 38, 970), Ms(0, 42, 210)},
        {2399, 471, 0, 8, "hd21.WAV", Ms(2, 39, 130), Ms(2, 39, 870)},
        {2400, 472, 0, 58, "hd21.WAV", Ms(2, 40, 590), Ms(2, 43, 310)},
        {2516, 501, 124, 153, "hd22.WAV", Ms(3, 40, 650), Ms(3, 42, 160)},
        {2517, 503, 0, 12, "hd22.WAV", Ms(3, 44, 870), Ms(3, 45, 880)},
        {2526, 507, 0, 7, "hd22.WAV", Ms(4, 17, 540), Ms(4, 17, 750)},
        {2547, 517, 54, 86, "hd22.WAV", Ms(5, 14, 10), Ms(5, 15, 770)},
        {2548, 517, 86, 124, "hd22.WAV", Ms(5, 16, 450), Ms(5, 18, 140)},
        {2549, 517, 126, 199, "hd23.WAV", Ms(0, 1, 50), Ms(0, 4, 250)},
        {2664, 571, 28, 54, "hd24.WAV", Ms(0, 38, 540), Ms(0, 39, 700)},
        {2665, 573, 0, 36, "hd24.WAV", Ms(0, 43, 80), Ms(0, 45, 570)},
        {2667, 573, 160, 374, "hd24.WAV", Ms(0, 52, 290), Ms(1, 2, 430)},
        {2752, 590, 512, 530, "hd24.WAV", Ms(5, 14, 970), Ms(5, 16, 110)},
        {2753, 590, 532, 564, "hd25.WAV", Ms(0, 1, 0), Ms(0, 2, 720)},
        {2858, 613, 382, 402, "hd25.WAV", Ms(5, 1, 650), Ms(5, 3, 200)},
        {2859, 615, 0, 8, "hd26.WAV", Ms(0, 2, 70), Ms(0, 2, 760)},
        {2954, 651, 85, 127, "hd26.WAV", Ms(4, 24, 870), Ms(4, 26, 890)},
        {2955, 651, 129, 174, "hd27.WAV", Ms(0, 0, 560), Ms(0, 3, 320)},
        {2999, 667, 0, 65, "hd27.WAV", Ms(2, 6, 240), Ms(2, 9, 160)},
        {3000, 667, 67, 174, "hd27.WAV", Ms(2, 9, 340), Ms(2, 14, 160)},
        {3213, 728, 43, 117, "hd29.WAV", Ms(2, 39, 130), Ms(2, 41, 650)},
        {3214, 728, 103, 117, "hd29.WAV", Ms(2, 41, 730), Ms(2, 42, 840)},
        {3299, 751, 0, 15, "hd30.WAV", Ms(2, 24, 290), Ms(2, 24, 930)},
        {3300, 751, 17, 30, "hd30.WAV", Ms(2, 25, 160), Ms(2, 25, 780)},
        {3349, 768, 0, 192, "hd30.WAV", Ms(4, 36, 730), Ms(4, 46, 80)},
        {3599, 825, 0, 47, "hd33.WAV", Ms(1, 26, 580), Ms(1, 28, 930)},
        {3600, 825, 49, 88, "hd33.WAV", Ms(1, 29, 680), Ms(1, 30, 980)},
        {3870, 904, 406, 438, "hd35.wav", Ms(4, 25, 780), Ms(4, 27, 420)},
        {3871, 905, 0, 19, "hd35.wav", Ms(4, 30, 200), Ms(4, 31, 140)},
        {3892, 910, 0, 6, "hd36.wav", Ms(0, 36, 250), Ms(0, 36, 530)},
        {3899, 913, 0, 10, "hd36.wav", Ms(0, 49, 170), Ms(0, 49, 710)},
        {3900, 914, 0, 36, "hd36.wav", Ms(0, 50, 450), Ms(0, 51, 480)},
        {3944, 928, 63, 69, "hd36.wav", Ms(3, 7, 170), Ms(3, 7, 450)},
        {3945, 928, 71, 77, "hd36.wav", Ms(3, 7, 170), Ms(3, 7, 450)},
        {4199, 1025, 0, 22, "hd38.wav", Ms(3, 33, 170), Ms(3, 34, 390)},
        {4200, 1025, 24, 77, "hd38.wav", Ms(3, 34, 590), Ms(3, 37, 180)},
        {4499, 1136, 0, 46, "hd41.wav", Ms(2, 38, 80), Ms(2, 39, 840)},
        {4500, 1136, 48, 60, "hd41.wav", Ms(2, 40, 10), Ms(2, 40, 920)},
        {4799, 1223, 201, 240, "hd44.wav", Ms(0, 47, 100), Ms(0, 49, 270)},
        {4800, 1224, 0, 51, "hd44.wav", Ms(0, 50, 410), Ms(0, 52, 580)},
        {4934, 1267, 39, 68, "hd45.wav", Ms(2, 2, 310), Ms(2, 4, 60)},
        {4935, 1268, 0, 79, "hd45.wav", Ms(2, 7, 930), Ms(2, 11, 970)},
        {5080, 1317, 28, 157, "hd47.wav", Ms(0, 6, 20), Ms(0, 13, 940)},
        {5099, 1320, 581, 617, "hd47.wav", Ms(1, 17, 360), Ms(1, 19, 230)},
        {5100, 1321, 0, 30, "hd47.wav", Ms(1, 21, 180), Ms(1, 22, 270)},
        {5319, 1352, 73, 75, "hd49.wav", Ms(1, 14, 520), Ms(1, 14, 680)},
        {5399, 1379, 236, 292, "hd49.wav", Ms(5, 21, 720), Ms(5, 24, 290)},
        {5400, 1379, 294, 343, "hd49.wav", Ms(5, 24, 600), Ms(5, 26, 960)},
        {5699, 1448, 422, 468, "hd52.wav", Ms(4, 13, 940), Ms(4, 16, 150)},
        {5700, 1448, 470, 507, "hd52.wav", Ms(4, 17, 140), Ms(4, 18, 980)},
        {5999, 1553, 377, 432, "hd55.wav", Ms(1, 57, 250), Ms(1, 59, 490)},
        {6000, 1553, 434, 455, "hd55.wav", Ms(2, 0, 490), Ms(2, 1, 720)},
        {6001, 1553, 457, 468, "hd55.wav", Ms(2, 2, 260), Ms(2, 2, 970)},
        {6058, 1564, 401, 449, "hd55.wav", Ms(5, 7, 280), Ms(5, 9, 730)},
        {6059, 1565, 0, 20, "hd56.wav", Ms(0, 1, 520), Ms(0, 3, 720)},
        {6160, 1583, 245, 323, "hd56.wav", Ms(5, 7, 120), Ms(5, 9, 850)},
        {6161, 1584, 0, 22, "hd57.wav", Ms(0, 1, 80), Ms(0, 2, 310)},
        {6243, 1596, 15, 40, "hd57.wav", Ms(4, 35, 40), Ms(4, 36, 540)},
        {6244, 1596, 42, 78, "hd57.wav", Ms(4, 38, 490), Ms(4, 41, 50)},
    };
    ASSERT_EQ(rows.size(), SyncFragmentCount);
    for (const Given& g : given) {
        SCOPED_TRACE(g.row);
        const Row& r = rows[g.row];
        EXPECT_EQ(r.paragraph, g.paragraph);
        EXPECT_EQ(r.first, g.first);
        EXPECT_EQ(r.last, g.last);
        EXPECT_EQ(r.track, g.track);
        EXPECT_EQ(r.start, g.start);
        EXPECT_EQ(r.end, g.end);
    }
    struct Span { int row, paragraph, first, last; };
    const Span spans[] = {{3986, 941, 0, 14}, {3987, 941, 16, 62}, {4974, 1282, 46, 102},
                          {4975, 1282, 104, 169}, {5515, 1416, 110, 135}, {5516, 1416, 139, 236}};
    for (const Span& s : spans) {
        SCOPED_TRACE(s.row);
        EXPECT_EQ(rows[s.row].paragraph, s.paragraph);
        EXPECT_EQ(rows[s.row].first, s.first);
        EXPECT_EQ(rows[s.row].last, s.last);
    }
    const std::pair<int, int> paragraphs[] = {{5077, 1314}, {5078, 1316}, {5616, 1427}, {5617, 1429},
                                              {5776, 1472}, {5777, 1474}, {5981, 1549}, {5982, 1551}};
    for (const auto& p : paragraphs) {
        EXPECT_EQ(rows[p.first].paragraph, p.second) << p.first;
    }
    EXPECT_EQ(rows[3943].end, Ms(3, 6, 50));
    EXPECT_EQ(rows[3946].start, Ms(3, 8, 660));
    EXPECT_EQ(Pause(2139), 3420);
    EXPECT_EQ(Pause(6035), 4350);
    EXPECT_EQ(Pause(6045), 80);
    EXPECT_EQ(rows[6145].end - rows[6145].start, 370);
    EXPECT_EQ(rows[6095].end - rows[6095].start, 6990);
}

TEST_F(SyncTableTest, BlocksAndTracks)
{
    ASSERT_EQ(rows.size(), SyncFragmentCount);
    const std::pair<int, int> blocks[] = {
        {0, 40}, {40, 106}, {106, 157}, {157, 228}, {228, 291}, {291, 350}, {350, 407},
        {407, 471}, {472, 579}, {579, 667}, {667, 751}, {751, 825}, {825, 913}, {914, 1025},
        {1025, 1136}, {1136, 1223}, {1224, 1320}, {1321, 1379}, {1379, 1448}, {1448, 1553}, {1553, 1596}};
    for (int k = 0; k < 21; ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(rows[k * 300].paragraph, blocks[k].first);
        EXPECT_EQ(rows[std::min(k * 300 + 299, 6244)].paragraph, blocks[k].second);
    }
    struct Track { int firstRow, lastRow, firstParagraph, lastParagraph, start, end; };
    const Track tracks[57] = {
        {0, 96, 0, 10, Ms(0, 5, 170), Ms(4, 47, 860)}, {97, 173, 11, 21, Ms(0, 0, 970), Ms(4, 47, 220)},
        {174, 283, 21, 39, Ms(0, 1, 20), Ms(5, 8, 580)}, {284, 424, 39, 72, Ms(0, 1, 20), Ms(4, 48, 130)},
        {425, 568, 72, 103, Ms(0, 0, 790), Ms(5, 13, 300)}, {569, 699, 103, 122, Ms(0, 0, 770), Ms(4, 52, 400)},
        {700, 830, 123, 148, Ms(0, 1, 210), Ms(5, 0, 550)}, {831, 933, 150, 164, Ms(0, 2, 90), Ms(4, 31, 120)},
        {934, 1054, 165, 201, Ms(0, 0, 990), Ms(4, 54, 350)}, {1055, 1167, 202, 218, Ms(0, 1, 600), Ms(5, 0, 590)},
        {1168, 1315, 218, 264, Ms(0, 0, 950), Ms(5, 8, 470)}, {1316, 1433, 265, 282, Ms(0, 1, 290), Ms(4, 28, 920)},
        {1434, 1519, 284, 292, Ms(0, 2, 70), Ms(4, 10, 730)}, {1520, 1619, 292, 312, Ms(0, 0, 830), Ms(4, 3, 500)},
        {1620, 1739, 313, 334, Ms(0, 1, 170), Ms(4, 4, 210)}, {1740, 1870, 335, 363, Ms(0, 8, 470), Ms(5, 5, 260)},
        {1871, 2006, 364, 385, Ms(0, 1, 30), Ms(5, 20, 720)}, {2007, 2148, 385, 420, Ms(0, 1, 280), Ms(5, 25, 650)},
        {2149, 2258, 420, 441, Ms(0, 0, 970), Ms(5, 17, 970)}, {2259, 2348, 443, 456, Ms(0, 1, 670), Ms(5, 0, 900)},
        {2349, 2444, 457, 482, Ms(0, 1, 80), Ms(5, 2, 290)}, {2445, 2548, 483, 517, Ms(0, 1, 710), Ms(5, 18, 140)},
        {2549, 2652, 517, 562, Ms(0, 1, 50), Ms(5, 0, 240)}, {2653, 2752, 563, 590, Ms(0, 1, 350), Ms(5, 16, 110)},
        {2753, 2858, 590, 613, Ms(0, 1, 0), Ms(5, 3, 200)}, {2859, 2954, 615, 651, Ms(0, 2, 70), Ms(4, 26, 890)},
        {2955, 3058, 651, 685, Ms(0, 0, 560), Ms(4, 50, 710)}, {3059, 3159, 686, 717, Ms(0, 1, 500), Ms(4, 59, 670)},
        {3160, 3249, 718, 734, Ms(0, 0, 930), Ms(4, 24, 330)}, {3250, 3376, 735, 771, Ms(0, 8, 210), Ms(5, 59, 470)},
        {3377, 3457, 773, 783, Ms(0, 3, 660), Ms(4, 43, 350)}, {3458, 3564, 784, 808, Ms(0, 1, 230), Ms(4, 57, 390)},
        {3565, 3670, 809, 848, Ms(0, 1, 140), Ms(4, 58, 660)}, {3671, 3772, 849, 884, Ms(0, 1, 210), Ms(5, 4, 560)},
        {3773, 3883, 885, 905, Ms(0, 1, 90), Ms(5, 3, 990)}, {3884, 3986, 907, 941, Ms(0, 2, 630), Ms(4, 57, 280)},
        {3987, 4112, 941, 989, Ms(0, 0, 970), Ms(5, 17, 500)}, {4113, 4235, 990, 1038, Ms(0, 1, 100), Ms(4, 46, 700)},
        {4236, 4335, 1039, 1068, Ms(0, 1, 520), Ms(4, 41, 910)}, {4336, 4443, 1069, 1110, Ms(0, 1, 170), Ms(4, 54, 980)},
        {4444, 4553, 1111, 1153, Ms(0, 1, 10), Ms(4, 58, 940)}, {4554, 4676, 1154, 1195, Ms(0, 0, 820), Ms(5, 4, 930)},
        {4677, 4784, 1196, 1218, Ms(0, 1, 60), Ms(4, 58, 380)}, {4785, 4884, 1219, 1251, Ms(0, 8, 380), Ms(4, 24, 370)},
        {4885, 4974, 1252, 1282, Ms(0, 0, 840), Ms(4, 5, 180)}, {4975, 5077, 1282, 1314, Ms(0, 1, 150), Ms(4, 38, 50)},
        {5078, 5183, 1316, 1330, Ms(0, 1, 790), Ms(5, 27, 120)}, {5184, 5292, 1331, 1345, Ms(0, 1, 870), Ms(5, 40, 750)},
        {5293, 5404, 1346, 1379, Ms(0, 1, 60), Ms(5, 33, 360)}, {5405, 5515, 1380, 1416, Ms(0, 1, 30), Ms(5, 25, 960)},
        {5516, 5616, 1416, 1427, Ms(0, 1, 0), Ms(5, 6, 440)}, {5617, 5714, 1429, 1451, Ms(0, 2, 100), Ms(4, 59, 970)},
        {5715, 5832, 1452, 1495, Ms(0, 1, 830), Ms(5, 26, 60)}, {5833, 5946, 1496, 1532, Ms(0, 1, 380), Ms(5, 0, 290)},
        {5947, 6058, 1533, 1564, Ms(0, 1, 320), Ms(5, 9, 730)}, {6059, 6160, 1565, 1583, Ms(0, 1, 520), Ms(5, 9, 850)},
        {6161, 6244, 1584, 1596, Ms(0, 1, 80), Ms(4, 41, 50)}};
    for (int t = 0; t < 57; ++t) {
        SCOPED_TRACE(t + 1);
        const Track& k = tracks[t];
        char name[16];
        std::snprintf(name, sizeof name, "hd%02d.%s", t + 1, t + 1 <= 34 ? "WAV" : "wav");
        for (int i = k.firstRow; i <= k.lastRow; ++i) {
            ASSERT_EQ(rows[i].track, name) << i;
        }
        EXPECT_EQ(rows[k.firstRow].paragraph, k.firstParagraph);
        EXPECT_EQ(rows[k.lastRow].paragraph, k.lastParagraph);
        EXPECT_EQ(rows[k.firstRow].start, k.start);
        EXPECT_EQ(rows[k.lastRow].end, k.end);
        EXPECT_GE(rows[k.firstRow].start, Ms(0, 0, 560));
        EXPECT_LE(rows[k.firstRow].start, Ms(0, 8, 470));
        EXPECT_GE(rows[k.lastRow].end, Ms(4, 3, 500));
        EXPECT_LE(rows[k.lastRow].end, Ms(5, 59, 470));
    }
    int caseChanges = 0;
    for (int i = 0; i + 1 < static_cast<int>(rows.size()); ++i)
        if (rows[i].track.substr(5) != rows[i + 1].track.substr(5))
            ++caseChanges;
    EXPECT_EQ(caseChanges, 1);
    EXPECT_EQ(rows[3772].track, "hd34.WAV");
    EXPECT_EQ(rows[3773].track, "hd35.wav");
}

TEST_F(SyncTableTest, OrderAndFieldRanges)
{
    ASSERT_EQ(rows.size(), SyncFragmentCount);
    std::vector<int> offGrid, nonPositivePauses, overlaps;
    int trackChanges = 0;
    for (size_t i = 0; i < rows.size(); ++i) {
        const Row& r = rows[i];
        SCOPED_TRACE(i);
        EXPECT_GT(r.last, r.first);
        EXPECT_LE(r.last, 1329);
        EXPECT_GE(r.paragraph, 0);
        EXPECT_LE(r.paragraph, 1596);
        EXPECT_LT(r.start, r.end);
        EXPECT_EQ(r.startH, 0);
        EXPECT_EQ(r.endH, 0);
        EXPECT_LE(r.startMin, 5);
        EXPECT_LE(r.endMin, 5);
        if (r.start % 10 != 0 || r.end % 10 != 0)
            offGrid.push_back(static_cast<int>(i));
        if (i == 0)
            continue;
        const Row& p = rows[i - 1];
        EXPECT_GE(r.paragraph, p.paragraph);
        if (r.paragraph == p.paragraph) {
            EXPECT_GT(r.first, p.first);
            if (r.first <= p.last)
                overlaps.push_back(static_cast<int>(i - 1));
        } else {
            EXPECT_EQ(r.first, 0);
        }
        if (r.track == p.track) {
            EXPECT_GE(r.start, p.start);
            EXPECT_GE(r.end, p.end);
            if (r.start - p.end <= 0)
                nonPositivePauses.push_back(static_cast<int>(i - 1));
        } else {
            ++trackChanges;
            EXPECT_GT(r.track, p.track);
        }
    }
    EXPECT_EQ(trackChanges, 56);
    EXPECT_EQ(offGrid, std::vector<int>({116}));
    EXPECT_EQ(rows[116].end, 90292);
    EXPECT_EQ(nonPositivePauses, std::vector<int>({1941, 2180, 3944}));
    EXPECT_EQ(Pause(1941), 0);
    EXPECT_EQ(Pause(2180), -10);
    EXPECT_EQ(Pause(3944), -280);
    EXPECT_EQ(overlaps, std::vector<int>({219, 1624, 2268, 2547, 3213}));
}

TEST_F(SyncTableTest, ParagraphsWithoutRowsAndAcrossTracks)
{
    std::map<int, std::set<std::string>> tracksOf;
    for (const Row& r : rows)
        tracksOf[r.paragraph].insert(r.track);
    std::vector<int> missing, split;
    for (int p = 0; p <= 1596; ++p) {
        if (tracksOf.count(p) == 0)
            missing.push_back(p);
        else if (tracksOf[p].size() > 1)
            split.push_back(p);
    }
    EXPECT_EQ(missing, std::vector<int>({1, 3, 149, 283, 442, 502, 572, 614, 772, 906, 1315, 1428, 1473, 1550}));
    EXPECT_EQ(split, std::vector<int>({21, 39, 72, 103, 218, 292, 385, 420, 517, 590, 651, 941, 1282, 1416}));
    for (size_t i = 1; i < rows.size(); ++i) {
        bool splitHere = rows[i].track != rows[i - 1].track && rows[i].paragraph == rows[i - 1].paragraph;
        if (rows[i].track != rows[i - 1].track && !splitHere) {
            EXPECT_EQ(rows[i].first, 0) << i;
        }
    }
}

// Each range's own bounds: the named row is the one extreme, nothing passes it.
TEST_F(SyncTableTest, BoundsOfEachRange)
{
    struct Bound {
        int first, last;
        int shortest, shortestRow, longest, longestRow;
        int minPause, minPauseRow, maxPause, maxPauseRow; // minPauseRow -1: not stated
        int mostRows, mostRowsParagraph;                  // 0: not stated
        int largestLast, largestLastRow;                  // 0: not stated
        int widestGap;                                    // units between two rows of a paragraph
    };
    const Bound bounds[] = {
        {0, 1799, 290, 1737, 8890, 94, 10, 6, 7830, 1, 40, 6, 1329, 45, 1},
        {1800, 2999, 210, 2526, 10140, 2667, -10, 2180, 3420, 2139, 22, 352, 862, 1952, 1},
        {3000, 3899, 280, 3892, 9350, 3349, 80, 3213, 2780, 3870, 0, 0, 0, 0, 32},
        {3900, 5999, 160, 5319, 7920, 5080, -280, 3944, 3870, 4934, 21, 1326, 0, 0, 35},
        {6000, 6244, 370, 6145, 6990, 6095, 80, 6045, 4350, 6035, 18, 1566, 835, 6092, 1},
    };
    ASSERT_EQ(rows.size(), SyncFragmentCount);
    for (const Bound& b : bounds) {
        SCOPED_TRACE(b.first);
        std::map<int, int> perParagraph;
        int minGap = 1000, maxGap = -1000;
        for (int i = b.first; i <= b.last; ++i) {
            const int d = rows[i].end - rows[i].start;
            EXPECT_GE(d, b.shortest) << i;
            EXPECT_LE(d, b.longest) << i;
            if (i != b.shortestRow) {
                EXPECT_GT(d, b.shortest) << i;
            }
            if (i != b.longestRow) {
                EXPECT_LT(d, b.longest) << i;
            }
            ++perParagraph[rows[i].paragraph];
            if (b.largestLast) {
                EXPECT_LE(rows[i].last, b.largestLast) << i;
                if (i != b.largestLastRow) {
                    EXPECT_LT(rows[i].last, b.largestLast) << i;
                }
            }
            if (i < b.last && SameTrack(i, i + 1)) {
                EXPECT_GE(Pause(i), b.minPause) << i;
                EXPECT_LE(Pause(i), b.maxPause) << i;
                if (i != b.maxPauseRow) {
                    EXPECT_LT(Pause(i), b.maxPause) << i;
                }
            }
            if (i < b.last && rows[i].paragraph == rows[i + 1].paragraph && rows[i + 1].first > rows[i].last) {
                minGap = std::min(minGap, rows[i + 1].first - rows[i].last - 1);
                maxGap = std::max(maxGap, rows[i + 1].first - rows[i].last - 1);
            }
        }
        EXPECT_EQ(rows[b.shortestRow].end - rows[b.shortestRow].start, b.shortest);
        EXPECT_EQ(rows[b.longestRow].end - rows[b.longestRow].start, b.longest);
        EXPECT_EQ(Pause(b.minPauseRow), b.minPause);
        EXPECT_EQ(Pause(b.maxPauseRow), b.maxPause);
        if (b.largestLast) {
            EXPECT_EQ(rows[b.largestLastRow].last, b.largestLast);
        }
        if (b.mostRows) {
            int most = 0;
            for (const auto& pc : perParagraph)
                most = std::max(most, pc.second);
            EXPECT_EQ(most, b.mostRows);
            EXPECT_EQ(perParagraph[b.mostRowsParagraph], b.mostRows);
        }
        EXPECT_EQ(maxGap, b.widestGap);
        EXPECT_EQ(minGap, b.widestGap > 1 ? 0 : 1);
    }
    // Rows 3000 to 3899: the shortest pause, 80 ms, comes back at several pairs.
    int shortestPauses = 0;
    for (int i = 3000; i < 3899; ++i)
        if (SameTrack(i, i + 1) && Pause(i) == 80)
            ++shortestPauses;
    EXPECT_GT(shortestPauses, 1);
    EXPECT_EQ(Pause(6), 10);
    EXPECT_EQ(Pause(1), 7830);
    // The longest pause of the whole table is the one after row 1.
    for (size_t i = 2; i + 1 < rows.size(); ++i)
        if (SameTrack(static_cast<int>(i), static_cast<int>(i + 1))) {
            EXPECT_LT(Pause(static_cast<int>(i)), 7830) << i;
        }
    int n1326 = 0, n1421 = 0;
    for (const Row& r : rows) {
        n1326 += r.paragraph == 1326;
        n1421 += r.paragraph == 1421;
    }
    EXPECT_EQ(n1326, 21);
    EXPECT_EQ(n1421, 21);
}

TEST(SyncTableSizing, AFailedSizingLeavesTheLastRowInTheDefaultRow)
{
    SyncTable table;
    failLargeArrays = true;
    const bool result = BookLoader::BuildSyncTable(table);
    failLargeArrays = false;
    EXPECT_TRUE(result);
    EXPECT_EQ(table.count, 0u);
    const SyncFragment& d = table.At(0);
    EXPECT_EQ(d.IsSet(), 1);
    EXPECT_EQ(d.ParagraphIndex(), 1596);
    EXPECT_EQ(d.FirstChar(), 42);
    EXPECT_EQ(d.LastChar(), 78);
    EXPECT_EQ(Narrow(d.TrackFile()), "hd57.wav");
    EXPECT_EQ(d.Start().ToMilliseconds(), static_cast<uint32_t>(Ms(4, 38, 490)));
    EXPECT_EQ(d.End().ToMilliseconds(), static_cast<uint32_t>(Ms(4, 41, 50)));
    EXPECT_EQ(&table.At(6244), &table.defaultItem);
}

TEST(SyncTableSizing, RowsBeyondTheTableReadAsNoFragment)
{
    SyncTable table;
    BookLoader::BuildSyncTable(table);
    EXPECT_EQ(table.At(SyncFragmentCount).IsSet(), 0);
    EXPECT_EQ(table.At(0xFFFFFFFFu).IsSet(), 0);
}

} // namespace
