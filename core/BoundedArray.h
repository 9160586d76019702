#pragma once

#include <cstdint>
#include <new>

// A fixed-size array sized as a whole and never grown. Every index outside
// the block reaches one spare item held inline, for reads and writes alike,
// so callers never check indices and an array whose allocation failed keeps
// working as a single-item sink.
template <typename T>
class BoundedArray {
public:
    BoundedArray() : defaultItem(), items(nullptr), count(0) {}
    virtual ~BoundedArray() { Release(); }

    BoundedArray(const BoundedArray&) = delete;
    BoundedArray& operator=(const BoundedArray&) = delete;

    // Discards the old contents and makes n new items in one allocation.
    // False (with the array empty) for n == 0 or when allocation or an item
    // constructor fails.
    bool SetSize(uint32_t n)
    {
        Release();
        if (n == 0)
            return false;
        try {
            // Value-initialisation: class items are default-constructed in
            // index order, plain values start at zero.
            items = new (std::nothrow) T[n]();
        } catch (...) {
            items = nullptr;
        }
        if (items == nullptr)
            return false;
        count = n;
        return true;
    }

    T& At(uint32_t i) { return (items != nullptr && i < count) ? items[i] : defaultItem; }
    const T& At(uint32_t i) const { return (items != nullptr && i < count) ? items[i] : defaultItem; }

    T& TryAt(uint32_t i, uint8_t& found)
    {
        found = (items != nullptr && i < count) ? 1 : 0;
        return found ? items[i] : defaultItem;
    }

    T defaultItem;
    T* items;
    uint32_t count;

private:
    void Release()
    {
        if (items != nullptr) {
            try {
                delete[] items; // last item first
            } catch (...) {
            }
        }
        items = nullptr;
        count = 0;
    }
};

using ByteArray = BoundedArray<uint8_t>;
