#include "base/dynarray.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace {

const uint32_t DEFAULT_INITIAL_CAPACITY = 1;

uint32_t resize_target(const DynArray* array, uint32_t needed) {
    double divisor = 0.005 * array->fill_percent + 0.5;
    return static_cast<uint32_t>(needed / divisor);
}

void reallocate(DynArray* array, uint32_t capacity) {
    void* block = std::malloc(static_cast<size_t>(capacity ? capacity : 1) * array->element_size);
    if (!block) throw std::bad_alloc();
    if (array->count) std::memcpy(block, array->data, static_cast<size_t>(array->count) * array->element_size);
    std::free(array->data);
    array->data = block;
    array->capacity = capacity;
    if (array->mirror) *array->mirror = block;
}

}  // namespace

DynArray dynarray_create(uint32_t element_size) {
    DynArray array{};
    array.element_size = element_size;
    array.capacity = DEFAULT_INITIAL_CAPACITY;
    array.min_capacity = DEFAULT_INITIAL_CAPACITY;
    array.fill_percent = 60.0f;
    array.data = std::malloc(static_cast<size_t>(array.capacity) * element_size);
    if (!array.data) throw std::bad_alloc();
    return array;
}

void dynarray_append(DynArray* array, const void* element) {
    if (array->count >= array->capacity) reallocate(array, resize_target(array, array->count + 1));
    std::memcpy(dynarray_at(array, array->count), element, array->element_size);
    ++array->count;
}

void dynarray_remove(DynArray* array, uint32_t index) {
    if (index >= array->count) return;
    if (index != array->count - 1)
        std::memcpy(dynarray_at(array, index), dynarray_at(array, array->count - 1), array->element_size);
    --array->count;
    if (static_cast<double>(array->count) / array->capacity < 0.01 * array->fill_percent &&
        array->capacity > array->min_capacity) {
        uint32_t capacity = resize_target(array, array->count);
        reallocate(array, capacity > array->min_capacity ? capacity : array->min_capacity);
    }
}

void dynarray_free(DynArray* array) {
    std::free(array->data);
    array->data = nullptr;
    if (array->mirror) *array->mirror = nullptr;
    array->count = 0;
    array->capacity = 0;
}

OwnedDynArray& OwnedDynArray::operator=(OwnedDynArray&& other) noexcept {
    if (this != &other) {
        release();
        array = other.array;
        free_element_ = other.free_element_;
        other.array = DynArray{};
    }
    return *this;
}

void OwnedDynArray::release() {
    if (!array.element_size) return;
    for (uint32_t i = 0; i < array.count; ++i) free_element_(dynarray_at(&array, i));
    dynarray_free(&array);
    array = DynArray{};
}
