#include "platform/headless_gl.h"

#include <GL/osmesa.h>

#include <cstddef>
#include <vector>

namespace {
OSMesaContext context = nullptr;
std::vector<uint8_t> colour_buffer;
}

bool headless_gl_create(int32_t width, int32_t height) {
    headless_gl_destroy();
    if (width < 1) width = 1;
    if (height < 1) height = 1;
    const int attributes[] = {OSMESA_FORMAT, OSMESA_BGRA, OSMESA_DEPTH_BITS, 32,
                              OSMESA_PROFILE, OSMESA_COMPAT_PROFILE, 0};
    context = OSMesaCreateContextAttribs(attributes, nullptr);
    if (!context) return false;
    colour_buffer.assign(static_cast<std::size_t>(width) * height * 4, 0);
    if (!OSMesaMakeCurrent(context, colour_buffer.data(), GL_UNSIGNED_BYTE, width, height)) {
        headless_gl_destroy();
        return false;
    }
    return true;
}

void* headless_gl_proc_address(const char* name) {
    return context ? reinterpret_cast<void*>(OSMesaGetProcAddress(name)) : nullptr;
}

void headless_gl_destroy() {
    if (context) {
        OSMesaMakeCurrent(nullptr, nullptr, GL_UNSIGNED_BYTE, 0, 0);
        OSMesaDestroyContext(context);
        context = nullptr;
    }
    colour_buffer.clear();
    colour_buffer.shrink_to_fit();
}
