#include "book/TextFileReader.h"

#include <cstdio>
#include <memory>
#include <new>
#include <vector>

namespace {

struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};
using FileHandle = std::unique_ptr<FILE, FileCloser>;

// Leaves room so that position arithmetic on a text (a few units past the
// end at most) never wraps in 32 bits.
constexpr uint64_t MaxUnits = 0xFFFFFF00u;

// The whole file in memory, in large reads: the files are read at start-up,
// where one call per unit would cost far more than the parsing itself.
bool ReadAllBytes(FILE* file, std::vector<unsigned char>& bytes)
{
    size_t expected = 0;
    if (std::fseek(file, 0, SEEK_END) == 0) {
        long size = std::ftell(file);
        if (size > 0)
            expected = static_cast<size_t>(size);
        std::rewind(file);
    }
    // One byte more than expected, so that the end of the file is seen
    // without growing the buffer.
    bytes.resize(expected + 1);
    size_t used = 0;
    for (;;) {
        if (used == bytes.size())
            bytes.resize(bytes.size() * 2);
        size_t got = std::fread(bytes.data() + used, 1, bytes.size() - used, file);
        if (got == 0)
            break;
        used += got;
        if (used / 2 > MaxUnits + 1)
            return false;
    }
    bytes.resize(used);
    return std::ferror(file) == 0;
}

} // namespace

TextFileReader::~TextFileReader()
{
    FreeText();
}

void TextFileReader::FreeText()
{
    delete[] text;
    text = nullptr;
    textLength = 0;
}

bool TextFileReader::FileExists(const char* path)
{
    FileHandle file(std::fopen(path, "rb"));
    return file != nullptr;
}

bool TextFileReader::ReadUtf16File(Utf16Unit*& buffer, const char* path, uint32_t& length)
{
    length = 0;
    buffer = nullptr;
    FileHandle file(std::fopen(path, "rb"));
    if (!file)
        return false;

    try {
        std::vector<unsigned char> bytes;
        if (!ReadAllBytes(file.get(), bytes))
            return false;
        file.reset();

        size_t units = bytes.size() / 2;
        if (units <= 1)
            return true;
        uint32_t n = static_cast<uint32_t>(units - 1);
        Utf16Unit* out = new (std::nothrow) Utf16Unit[n];
        if (out == nullptr)
            return false;
        // Little-endian on disk, whatever the host.
        const unsigned char* src = bytes.data() + 2;
        for (uint32_t i = 0; i < n; ++i, src += 2)
            out[i] = static_cast<Utf16Unit>(src[0] | (src[1] << 8));
        buffer = out;
        length = n;
        return true;
    } catch (...) {
        return false;
    }
}
