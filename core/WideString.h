#pragma once

#include "BoundedArray.h"

// UTF-16 code unit, the text unit of the model in both builds.
using Utf16Unit = char16_t;

// One text as UTF-16 units. Paragraph and translation texts carry no
// terminator; texts set with AssignString keep theirs as the last item.
class WideString : public BoundedArray<Utf16Unit> {
};

// Makes target hold text and its terminating zero (count = length + 1).
WideString& AssignString(WideString& target, const Utf16Unit* text);

// Sizes target to source's count and copies every unit, a terminator included.
void CopyWideString(WideString& target, const WideString& source);

// Units before the first zero, or the whole count when there is none.
uint32_t TextLength(const WideString& s);
