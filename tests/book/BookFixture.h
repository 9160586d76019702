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

} // namespace bookfixture
