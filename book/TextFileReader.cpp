#include "book/TextFileReader.h"

#include <memory>
#include <new>

#include "core/DiskFile.h"

namespace {

// Leaves room so that position arithmetic on a text (a few units past the
// end at most) never wraps in 32 bits, whatever bound a caller gives.
constexpr uint64_t MaxUnits = 0xFFFFFF00u;

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
    DiskFile file;
    return file.Open(path, 0) != DiskFileState::Missing;
}

bool TextFileReader::ReadUtf16File(Utf16Unit*& buffer, const char* path, uint32_t& length, uint64_t maxBytes)
{
    length = 0;
    buffer = nullptr;
    DiskFile file;
    if (file.Open(path, maxBytes) != DiskFileState::Open)
        return false;

    // The size seen at the open decides how much is read: a file that grows
    // meanwhile costs no more, one that shrinks fails its read.
    const uint64_t units = file.Size() / 2;
    if (units <= 1)
        return true;
    if (units - 1 > MaxUnits)
        return false;
    const uint32_t n = static_cast<uint32_t>(units - 1);
    std::unique_ptr<Utf16Unit[]> out(new (std::nothrow) Utf16Unit[n]);
    unsigned char mark[2];
    if (out == nullptr || !file.Read(mark, sizeof mark) || !file.Read(out.get(), size_t{n} * 2))
        return false;
    // Little-endian on disk, whatever the host.
    auto* bytes = reinterpret_cast<unsigned char*>(out.get());
    for (uint32_t i = 0; i < n; ++i)
        out[i] = static_cast<Utf16Unit>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    buffer = out.release();
    length = n;
    return true;
}
