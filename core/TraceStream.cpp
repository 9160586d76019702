#include "TraceStream.h"

void TraceStream::Put(TraceUnit unit)
{
    if (length < TextLimit)
        buffer[length++] = unit;
    buffer[length] = 0;
}

TraceStream& TraceStream::AppendString(const char* text)
{
    for (; *text != 0; ++text)
        Put(static_cast<TraceUnit>(static_cast<unsigned char>(*text)));
    return *this;
}

TraceStream& TraceStream::AppendUnsigned(uint32_t value)
{
    char digits[10];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (n > 0)
        Put(static_cast<TraceUnit>(digits[--n]));
    return *this;
}

TraceStream& TraceStream::AppendInt(int32_t value)
{
    if (value < 0) {
        Put(static_cast<TraceUnit>('-'));
        // Negate in unsigned arithmetic so INT32_MIN is exact.
        return AppendUnsigned(0u - static_cast<uint32_t>(value));
    }
    return AppendUnsigned(static_cast<uint32_t>(value));
}

TraceStream& TraceStream::EndLine()
{
    buffer[length] = 10;
    length += 1;
    buffer[length] = 0;
    Flush(*this);
    length = 0;
    buffer[0] = 0;
    return *this;
}

void TraceStream::Flush(TraceStream&)
{
    // Debug lines leave no trace in either build.
}
