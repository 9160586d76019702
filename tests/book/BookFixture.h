#pragma once

// Test fixtures for the book loader: a scratch working directory (the loader
// opens bare file names) and UTF-16 files written into it.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "core/WideString.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace bookfixture {

// Enters a fresh empty directory for the test's lifetime and returns to the
// previous working directory afterwards.
class ScratchDirectory {
public:
    ScratchDirectory()
    {
        namespace fs = std::filesystem;
        previous = fs::current_path();
        std::random_device seed;
        std::mt19937 rng(seed());
        for (int attempt = 0; attempt < 100; ++attempt) {
            fs::path candidate = fs::temp_directory_path() / ("vellumark-book-" + std::to_string(rng()));
            std::error_code ec;
            if (fs::create_directory(candidate, ec)) {
                path = candidate;
                break;
            }
        }
        EXPECT_FALSE(path.empty()) << "no scratch directory";
        if (!path.empty())
            fs::current_path(path);
    }
    ~ScratchDirectory()
    {
        namespace fs = std::filesystem;
        std::error_code ec;
        fs::current_path(previous, ec);
        if (!path.empty())
            fs::remove_all(path, ec);
    }
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

private:
    std::filesystem::path previous;
    std::filesystem::path path;
};

inline void WriteBytes(const std::string& name, const std::vector<unsigned char>& bytes)
{
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << name;
}

// Little-endian units, as the program's files hold them.
inline std::vector<unsigned char> Utf16Bytes(const std::u16string& units)
{
    std::vector<unsigned char> bytes;
    bytes.reserve(units.size() * 2);
    for (char16_t u : units) {
        bytes.push_back(static_cast<unsigned char>(u & 0xFF));
        bytes.push_back(static_cast<unsigned char>(u >> 8));
    }
    return bytes;
}

// A file as the book's editors save it: byte-order mark, then the units.
inline void WriteUtf16File(const std::string& name, const std::u16string& body)
{
    WriteBytes(name, Utf16Bytes(u"\xFEFF" + body));
}

inline std::u16string ToU16(const WideString& s)
{
    return s.items == nullptr ? std::u16string() : std::u16string(s.items, s.items + s.count);
}

#ifndef _WIN32
// A pipe that a writer holds open with a few bytes in it: a reader would
// take them and then wait at the pipe for ever.
class HeldPipe {
public:
    explicit HeldPipe(const char* name)
    {
        EXPECT_EQ(mkfifo(name, 0600), 0) << name;
        writer = open(name, O_RDWR | O_NONBLOCK);
        EXPECT_EQ(write(writer, "\xFF\xFE" "ab", 4), 4) << name;
    }
    ~HeldPipe() { Release(); }
    HeldPipe(const HeldPipe&) = delete;
    HeldPipe& operator=(const HeldPipe&) = delete;

    // Lets a reader that waits at the pipe see its end.
    void Release()
    {
        if (writer >= 0)
            close(writer);
        writer = -1;
    }
    bool Untouched()
    {
        char bytes[8];
        return writer >= 0 && read(writer, bytes, sizeof bytes) == 4;
    }

private:
    int writer = -1;
};

inline void WriteSparse(const char* name, uint64_t size)
{
    std::ofstream(name, std::ios::binary | std::ios::trunc).close();
    ASSERT_EQ(truncate(name, static_cast<off_t>(size)), 0) << name;
}
#endif

} // namespace bookfixture
