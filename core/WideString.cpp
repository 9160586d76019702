#include "WideString.h"

WideString& AssignString(WideString& target, const Utf16Unit* text)
{
    uint32_t len = 0;
    while (text[len] != 0)
        ++len;
    target.SetSize(len + 1);
    for (uint32_t i = 0; i <= len; ++i)
        target.At(i) = text[i];
    target.At(len) = 0;
    return target;
}

void CopyWideString(WideString& target, const WideString& source)
{
    target.SetSize(source.count);
    for (uint32_t i = 0; i < source.count; ++i)
        target.At(i) = source.At(i);
}

uint32_t TextLength(const WideString& s)
{
    uint32_t n = 0;
    while (n < s.count && s.At(n) != 0)
        ++n;
    return n;
}
