// The growable array of fixed-size elements.
#pragma once

#include <cstddef>
#include <cstdint>

struct DynArray {
    void* data;
    void** mirror;          // receives data on every reallocation; null in this program
    uint32_t count;
    uint32_t capacity;
    uint32_t min_capacity;
    uint32_t element_size;
    float fill_percent;     // low-water fill percentage, always 60
};

DynArray dynarray_create(uint32_t element_size);
void dynarray_append(DynArray* array, const void* element);
void dynarray_remove(DynArray* array, uint32_t index);
void dynarray_free(DynArray* array);
inline void* dynarray_at(const DynArray* array, uint32_t index) {
    return static_cast<char*>(array->data) + static_cast<size_t>(index) * array->element_size;
}

// A DynArray its owner holds by value: when the owner goes or is assigned a
// new one, every element is handed to free_element and the block is freed.
class OwnedDynArray {
public:
    explicit OwnedDynArray(void (*free_element)(void* element)) : free_element_(free_element) {}
    OwnedDynArray(const OwnedDynArray&) = delete;
    OwnedDynArray& operator=(OwnedDynArray&& other) noexcept;
    ~OwnedDynArray() { release(); }

    DynArray array{};  // element_size 0 until first used

private:
    void release();
    void (*free_element_)(void*);
};
