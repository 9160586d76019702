#include "core/DiskFile.h"

DiskFileState DiskFile::Accept(bool diskFile, int64_t bytes, uint64_t maxBytes)
{
    if (!diskFile || bytes < 0 || static_cast<uint64_t>(bytes) > maxBytes) {
        Close();
        return DiskFileState::Refused;
    }
    size = static_cast<uint64_t>(bytes);
    return DiskFileState::Open;
}

#ifdef _WIN32

DiskFileState DiskFile::Open(const char* path, uint64_t maxBytes)
{
    Close();
    handle = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    return Check(maxBytes);
}

DiskFileState DiskFile::Open(const wchar_t* path, uint64_t maxBytes)
{
    Close();
    handle = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    return Check(maxBytes);
}

DiskFileState DiskFile::Check(uint64_t maxBytes)
{
    if (handle == INVALID_HANDLE_VALUE)
        return DiskFileState::Missing;
    LARGE_INTEGER bytes;
    const bool disk = GetFileType(handle) == FILE_TYPE_DISK && GetFileSizeEx(handle, &bytes);
    return Accept(disk, disk ? bytes.QuadPart : -1, maxBytes);
}

void DiskFile::Close()
{
    if (handle != INVALID_HANDLE_VALUE)
        CloseHandle(handle);
    handle = INVALID_HANDLE_VALUE;
    size = 0;
}

bool DiskFile::IsOpen() const
{
    return handle != INVALID_HANDLE_VALUE;
}

bool DiskFile::Read(void* buffer, size_t count)
{
    auto* at = static_cast<unsigned char*>(buffer);
    while (count > 0) {
        const DWORD ask = count > 0x10000000u ? 0x10000000u : static_cast<DWORD>(count);
        DWORD got = 0;
        if (!ReadFile(handle, at, ask, &got, nullptr) || got == 0)
            return false;
        at += got;
        count -= got;
    }
    return true;
}

#else

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

DiskFileState DiskFile::Open(const char* path, uint64_t maxBytes)
{
    Close();
    // Opening a pipe that nobody writes would wait for a writer.
    descriptor = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (descriptor < 0)
        return DiskFileState::Missing;
    struct stat info;
    const bool disk = fstat(descriptor, &info) == 0 && S_ISREG(info.st_mode);
    return Accept(disk, disk ? static_cast<int64_t>(info.st_size) : -1, maxBytes);
}

void DiskFile::Close()
{
    if (descriptor >= 0)
        close(descriptor);
    descriptor = -1;
    size = 0;
}

bool DiskFile::IsOpen() const
{
    return descriptor >= 0;
}

bool DiskFile::Read(void* buffer, size_t count)
{
    auto* at = static_cast<unsigned char*>(buffer);
    while (count > 0) {
        const ssize_t got = read(descriptor, at, count);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        at += got;
        count -= static_cast<size_t>(got);
    }
    return true;
}

#endif
