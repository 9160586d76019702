#pragma once

#include <cstddef>
#include <cstdint>

// Inputs of any bytes, run through the book splitter and the translation
// parser exactly as file contents would be. Each returns false when a result
// breaks an invariant of the document (a read past a buffer or a leak is left
// to the sanitizers).
bool FuzzBookSplit(const uint8_t* data, size_t size);
bool FuzzTranslationParse(const uint8_t* data, size_t size);
