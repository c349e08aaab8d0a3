#include "render/screenshot.h"

#include "base/report.h"
#include "display/display.h"
#include "image/formats.h"
#include "render/gl.h"

#include <cmath>
#include <cstdio>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace {

// The BMP path with its extension (after a dot past the first character) made png.
std::string png_path(const char* bmp) {
    std::string png = bmp;
    const size_t dot = png.rfind('.');
    if (dot != std::string::npos && dot > 0)
        png.replace(dot + 1, std::string::npos, "png");
    else
        png += ".png";
    return png;
}

// The PNG made from the BMP by the first converter found; the BMP goes once it is there.
void convert_to_png(const std::string& bmp) {
    const std::string png = png_path(bmp.c_str());
    int status = -1;
    for (const char* const* converter = plat_image_converters(); *converter && status == -1; ++converter) {
        const char* const argv[] = {*converter, "-quality", "95", bmp.c_str(), png.c_str(), nullptr};
        status = plat_run_program(argv);
    }
    if (status == 0 && plat_path_exists(png.c_str())) plat_delete_file(bmp.c_str());
}

// Conversions under way; whatever is still running when the process ends is awaited then.
struct Conversions {
    std::mutex mutex;
    std::vector<std::thread> threads;
    ~Conversions() { wait(); }
    void wait() {
        std::vector<std::thread> running;
        {
            std::lock_guard<std::mutex> lock(mutex);
            running.swap(threads);
        }
        for (std::thread& thread : running) thread.join();
    }
} conversions;

}  // namespace

void screenshots_wait() { conversions.wait(); }

int32_t screenshot_number(double seconds) {
    return static_cast<int32_t>(std::fmod(std::trunc(seconds * 3.3333333333333335), 100000.0));
}

void gfx_screenshot(const char* prefix) {
    const int number = static_cast<int>(screenshot_number(get_seconds()));
    // A name already taken by a BMP or a PNG gets a suffix: no screenshot is overwritten.
    char name[512];
    for (int copy = 1;; ++copy) {
        if (copy == 1)
            std::snprintf(name, sizeof(name), "%s_%05d.bmp", prefix, number);
        else
            std::snprintf(name, sizeof(name), "%s_%05d_%d.bmp", prefix, number, copy);
        if (!plat_path_exists(name) && !plat_path_exists(png_path(name).c_str())) break;
        if (copy == 1000) return;
    }

    const int32_t w = display.screen_width, h = display.screen_height;
    if (w <= 0 || h <= 0) return;
    std::vector<uint8_t> pixels(bmp_row_bytes(w) * static_cast<size_t>(h));
    // BMP rows are padded to 4 bytes, whatever packing the last read-back left.
    GLint pack_alignment = 4;
    glGetIntegerv(GL_PACK_ALIGNMENT, &pack_alignment);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(0, 0, w, h, GL_BGR, GL_UNSIGNED_BYTE, pixels.data());
    glPixelStorei(GL_PACK_ALIGNMENT, pack_alignment);
    bmp_save_and_convert(pixels.data(), w, h, name, 1);
}

void bmp_save_and_convert(const uint8_t* pixels, int32_t width, int32_t height, const char* path, int32_t convert) {
    uint8_t header[BMP_HEADER_SIZE];
    bmp_write_header(width, height, header);
    FILE* file = plat_open_file(path, "wb");
    if (!file) return;
    std::fwrite(header, 1, sizeof(header), file);
    std::fwrite(pixels, 1, bmp_row_bytes(width) * static_cast<size_t>(height), file);
    std::fclose(file);
    if (!convert) return;
    try {
        std::lock_guard<std::mutex> lock(conversions.mutex);
        conversions.threads.emplace_back(convert_to_png, std::string(path));
    } catch (const std::system_error&) {
        convert_to_png(path);  // no thread to be had: here and now
    }
}
