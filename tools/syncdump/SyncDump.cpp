// Builds the synchronisation table and prints it, one tab-separated line per
// row: row, paragraph, firstChar, lastChar, isSet, track file, track file
// count, start h m s ms, end h m s ms.
//
//   syncdump          the rows
//   syncdump --time   only how long BuildSyncTable took (best of 20 runs)

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "book/SyncFragment.h"
#include "book/BookLoader.h"

namespace {

std::string TrackText(const WideString& name)
{
    std::string text;
    for (uint32_t i = 0; i < name.count && name.items[i] != 0; ++i)
        text += static_cast<char>(name.items[i] < 0x80 ? name.items[i] : '?');
    return text;
}

int PrintRows()
{
    SyncTable table;
    BookLoader::BuildSyncTable(table);
    for (uint32_t i = 0; i < table.count; ++i) {
        const SyncFragment& row = table.At(i);
        const TrackTime& s = row.Start();
        const TrackTime& e = row.End();
        std::printf("%u\t%d\t%d\t%d\t%d\t%s\t%u\t%d\t%d\t%d\t%d\t%d\t%d\t%d\t%d\n", i, row.ParagraphIndex(),
                    row.FirstChar(), row.LastChar(), row.IsSet(), TrackText(row.TrackFile()).c_str(),
                    row.TrackFile().count, s.Hours(), s.Minutes(), s.Seconds(), s.Milliseconds(), e.Hours(),
                    e.Minutes(), e.Seconds(), e.Milliseconds());
    }
    return 0;
}

int PrintTiming()
{
    double best = 1e9;
    for (int run = 0; run < 20; ++run) {
        SyncTable table;
        auto begin = std::chrono::steady_clock::now();
        BookLoader::BuildSyncTable(table);
        auto end = std::chrono::steady_clock::now();
        double ms = std::chrono::duration<double, std::milli>(end - begin).count();
        if (ms < best)
            best = ms;
    }
    std::printf("BuildSyncTable: %.3f ms (best of 20)\n", best);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--time") == 0)
        return PrintTiming();
    return PrintRows();
}
