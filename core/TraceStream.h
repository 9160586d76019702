#pragma once

#include <cstdint>

// Text unit of debug lines: UTF-16 in the wide-character build, 8-bit in the
// 8-bit build.
#ifdef UNICODE
using TraceUnit = char16_t;
#else
using TraceUnit = char;
#endif

// Composes one debug line at a time. Lines go to a sink that writes nothing;
// the stream exists so that the places that describe what happens stay in
// the code at no cost.
class TraceStream {
public:
    static constexpr uint32_t Capacity = 1000;

    TraceStream() : length(0) { buffer[0] = 0; }
    virtual ~TraceStream() {}

    TraceStream& AppendString(const char* text);
    TraceStream& AppendUnsigned(uint32_t value);
    TraceStream& AppendInt(int32_t value);
    TraceStream& EndLine();

    static void Flush(TraceStream& stream);

    uint32_t length;
    TraceUnit buffer[Capacity];

private:
    // Room kept at the end for the line feed and the zero unit.
    static constexpr uint32_t TextLimit = Capacity - 2;
    void Put(TraceUnit unit);
};
