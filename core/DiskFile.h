#pragma once

#include <cstddef>
#include <cstdint>

#ifdef _WIN32
#include <windows.h>
#endif

// What opening a file for reading found.
enum class DiskFileState : uint8_t {
    Missing, // no such file, or it cannot be opened
    Refused, // it opened, but it is no file on a disk, or it is too large
    Open,
};

// A file opened for reading only when it lies on a disk and is no larger
// than the caller allows. A pipe, a terminal or another device is refused
// before anything is read from it: a read there may wait for ever, or never
// reach an end. Reads go by the size seen at the open, so a file that grows
// afterwards costs no more than it did then.
class DiskFile {
public:
    DiskFile() = default;
    ~DiskFile() { Close(); }
    DiskFile(const DiskFile&) = delete;
    DiskFile& operator=(const DiskFile&) = delete;

    // The bare name of a file is looked up in the working directory only.
    // The file is shared for reading alone while it is open, so nothing can
    // change it under the reader.
    DiskFileState Open(const char* path, uint64_t maxBytes);
#ifdef _WIN32
    DiskFileState Open(const wchar_t* path, uint64_t maxBytes);
    HANDLE Handle() const { return handle; }
#endif
    void Close();

    bool IsOpen() const;
    // The size in bytes at the open.
    uint64_t Size() const { return size; }
    // Reads exactly count bytes from the current position; false at an
    // error or when the file ends first.
    bool Read(void* buffer, size_t count);

private:
    // Keeps the open file when it lies on a disk and holds bytes within
    // maxBytes; otherwise closes it.
    DiskFileState Accept(bool diskFile, int64_t bytes, uint64_t maxBytes);
#ifdef _WIN32
    DiskFileState Check(uint64_t maxBytes);
    HANDLE handle = INVALID_HANDLE_VALUE;
#else
    int descriptor = -1;
#endif
    uint64_t size = 0;
};
