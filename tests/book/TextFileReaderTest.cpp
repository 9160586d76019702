#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include "BookFixture.h"
#include "book/BookLoader.h"
#include "book/TextFileReader.h"

namespace {

using bookfixture::ScratchDirectory;
using bookfixture::WriteBytes;

struct Owned {
    Utf16Unit* units = nullptr;
    uint32_t length = 0;
    bool ok = false;
    ~Owned() { delete[] units; }
    std::u16string Text() const { return units == nullptr ? u"" : std::u16string(units, units + length); }
};

void Read(const char* name, Owned& out)
{
    out.ok = TextFileReader::ReadUtf16File(out.units, name, out.length);
}

TEST(TextFileReader, MissingFile)
{
    ScratchDirectory dir;
    EXPECT_FALSE(TextFileReader::FileExists("book.txt"));
    Owned r;
    r.length = 99;
    Read("book.txt", r);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.units, nullptr);
    EXPECT_EQ(r.length, 0u);
}

struct BytesCase {
    const char* what;
    std::vector<unsigned char> bytes;
    std::u16string units;
};

TEST(TextFileReader, UnitsAfterTheFirstLittleEndianOddByteIgnored)
{
    const BytesCase cases[] = {
        {"empty", {}, u""},
        {"one byte", {0xFF}, u""},
        {"mark only", {0xFF, 0xFE}, u""},
        {"mark and odd byte", {0xFF, 0xFE, 0x41}, u""},
        {"two units", {0xFF, 0xFE, 0x41, 0x00, 0x0A, 0x04}, u"A\x040A"},
        {"odd tail", {0xFF, 0xFE, 0x41, 0x00, 0x42}, u"A"},
        // The first unit is dropped unread, whatever it holds.
        {"no mark", {0x61, 0x00, 0x62, 0x00, 0x63, 0x00}, u"bc"},
        {"big-endian mark", {0xFE, 0xFF, 0x00, 0x41}, u"\x4100"},
        {"zero units kept", {0xFF, 0xFE, 0x00, 0x00, 0x31, 0x00}, std::u16string(u"\0" u"1", 2)},
    };
    ScratchDirectory dir;
    for (const auto& c : cases) {
        WriteBytes("t.txt", c.bytes);
        EXPECT_TRUE(TextFileReader::FileExists("t.txt")) << c.what;
        Owned r;
        Read("t.txt", r);
        EXPECT_TRUE(r.ok) << c.what;
        EXPECT_EQ(r.Text(), c.units) << c.what;
        if (c.units.empty()) {
            EXPECT_EQ(r.units, nullptr) << c.what;
        }
    }
}

TEST(TextFileReader, LargeFileReadsWhole)
{
    ScratchDirectory dir;
    std::u16string body;
    for (uint32_t i = 0; i < 300000; ++i)
        body += static_cast<char16_t>(0x20 + (i * 7919u) % 0xD000u);
    bookfixture::WriteUtf16File("big.txt", body);
    Owned r;
    Read("big.txt", r);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.length, body.size());
    EXPECT_TRUE(r.Text() == body);
}

#ifndef _WIN32 // pipes and sparse files as the host makes them
// Only a disk file within the bound is read; anything else is neither read
// from nor waited at, and still exists, so that it keeps its number.
TEST(TextFileReader, ReadsOnlyDiskFilesWithinTheBound)
{
    ScratchDirectory dir;
    bookfixture::HeldPipe pipe("pipe.txt");
    ASSERT_EQ(symlink("/dev/zero", "zero.txt"), 0);
    const struct {
        const char* name;
        uint64_t bound;
        uint64_t size; // of a sparse file; 0 for the pipe and the link
        bool read;
    } cases[] = {
        {"pipe.txt", MaxBookBytes, 0, false},
        {"zero.txt", MaxBookBytes, 0, false},
        {"book-past.txt", MaxBookBytes, MaxBookBytes + 1, false},
        {"book-sparse.txt", MaxBookBytes, (uint64_t{1} << 32) + 60, false},
        {"book-inside.txt", MaxBookBytes, MaxBookBytes, true},
    };
    for (const auto& c : cases) {
        if (c.size != 0)
            bookfixture::WriteSparse(c.name, c.size);
        EXPECT_TRUE(TextFileReader::FileExists(c.name)) << c.name;
        Owned r;
        auto reading = std::async(std::launch::async,
                                  [&] { r.ok = TextFileReader::ReadUtf16File(r.units, c.name, r.length, c.bound); });
        if (reading.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
            ADD_FAILURE() << c.name << " was waited at";
            pipe.Release();
        }
        reading.wait();
        EXPECT_EQ(r.ok, c.read) << c.name;
        EXPECT_EQ(r.length, c.read ? c.size / 2 - 1 : 0) << c.name;
    }
    EXPECT_TRUE(pipe.Untouched());
}

#endif

TEST(TextFileReader, FreeTextReleasesAndClears)
{
    TextFileReader reader;
    reader.text = new Utf16Unit[3];
    reader.textLength = 3;
    reader.FreeText();
    EXPECT_EQ(reader.text, nullptr);
    EXPECT_EQ(reader.textLength, 0u);
    // A reader destroyed while holding text must not leak it (the sanitizer
    // build reports leaks).
    auto held = std::make_unique<TextFileReader>();
    held->text = new Utf16Unit[5];
    held->textLength = 5;
}

} // namespace
