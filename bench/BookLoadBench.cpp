// Start-up load time: writes a book of about 600 KB and four translation
// files of about 600 KB each into a scratch directory, loads them as the
// program does at start-up, and prints the time. Run it in the build that
// ships (win-wide under Wine) for figures that matter.
//
//   bench_book_load [repetitions]

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "book/BookLoader.h"

namespace {

constexpr size_t TargetBytes = 600 * 1024;

void WriteUtf16(const std::string& name, const std::u16string& body)
{
    std::string bytes;
    bytes.reserve(2 + body.size() * 2);
    bytes += '\xFF';
    bytes += '\xFE';
    for (char16_t u : body) {
        bytes += static_cast<char>(u & 0xFF);
        bytes += static_cast<char>(u >> 8);
    }
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::u16string Word(std::mt19937& rng, char16_t base)
{
    std::uniform_int_distribution<int> len(1, 9);
    std::uniform_int_distribution<int> letter(0, 25);
    std::u16string w;
    for (int n = len(rng); n > 0; --n)
        w += static_cast<char16_t>(base + letter(rng));
    return w;
}

// Paragraphs of 20 to 60 words until the file reaches the target size.
std::u16string MakeBook(std::mt19937& rng, std::vector<uint32_t>& lengths)
{
    std::uniform_int_distribution<int> words(20, 60);
    std::u16string book;
    while (book.size() * 2 < TargetBytes) {
        std::u16string line;
        for (int n = words(rng); n > 0; --n) {
            if (!line.empty())
                line += u' ';
            line += Word(rng, u'a');
        }
        lengths.push_back(static_cast<uint32_t>(line.size()));
        book += line + u"\r\n";
    }
    return book;
}

std::u16string Number(uint32_t n)
{
    std::string s = std::to_string(n);
    return std::u16string(s.begin(), s.end());
}

// Records in paragraph order, four pieces per paragraph, repeated over the
// paragraphs with longer texts until the file reaches the target size.
std::u16string MakeTranslation(std::mt19937& rng, const std::vector<uint32_t>& lengths, char16_t base)
{
    std::uniform_int_distribution<int> words(3, 12);
    std::u16string file;
    for (uint32_t p = 0; p < lengths.size(); ++p) {
        const uint32_t piece = lengths[p] / 4 + 1;
        for (uint32_t k = 0; k < 4; ++k) {
            std::u16string text;
            for (int n = words(rng); n > 0; --n)
                text += Word(rng, base) + u' ';
            file += Number(p) + u' ' + Number(k * piece) + u' ' + Number(k * piece + piece - 1) + u"\r\n" + text +
                    u"\r\n";
        }
    }
    return file;
}

} // namespace

int main(int argc, char** argv)
{
    namespace fs = std::filesystem;
    const int repetitions = argc > 1 ? std::atoi(argv[1]) : 5;

    const fs::path previous = fs::current_path();
    const fs::path dir = fs::temp_directory_path() / "vellumark-bench";
    fs::remove_all(dir);
    fs::create_directories(dir);
    fs::current_path(dir);

    std::mt19937 rng(42);
    std::vector<uint32_t> lengths;
    const std::u16string book = MakeBook(rng, lengths);
    WriteUtf16("book.txt", book);
    const char16_t bases[] = {u'A', 0x0430, 0x03B1, u'a'};
    for (int t = 0; t < 4; ++t) {
        const std::u16string text = MakeTranslation(rng, lengths, bases[t]);
        WriteUtf16("book_t" + std::to_string(t + 1) + ".txt", text);
    }

    std::printf("book.txt %zu bytes, %zu paragraphs; translation files:", book.size() * 2 + 2, lengths.size());
    for (int t = 1; t <= 4; ++t)
        std::printf(" %ju", static_cast<uintmax_t>(fs::file_size("book_t" + std::to_string(t) + ".txt")));
    std::printf(" bytes\n");

    double best = 1e9;
    for (int r = 0; r < repetitions; ++r) {
        const auto start = std::chrono::steady_clock::now();
        const uint8_t ok = BookLoader::Instance().LoadBook();
        const auto stop = std::chrono::steady_clock::now();
        const double ms = std::chrono::duration<double, std::milli>(stop - start).count();
        if (ms < best)
            best = ms;
        std::printf("load %d: %.2f ms (result %u, %u paragraphs, %u pieces in paragraph 0 of file 1)\n", r + 1, ms,
                    ok, GetBookDocument().Paragraphs().count, GetBookDocument().Paragraphs().At(0).TranslationAt(0).count);
    }
    std::printf("best: %.2f ms\n", best);

    fs::current_path(previous);
    fs::remove_all(dir);
    return 0;
}
