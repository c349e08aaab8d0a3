// The offscreen GL context under the headless backend on Windows: a hidden
// WGL window whose context draws into a framebuffer object of the wanted size,
// so frames read back the same whether or not the window is ever shown.
#include "platform/headless_gl.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "gl.h"

namespace {

// From OpenGL 3.0 / ARB_framebuffer_object; Windows' gl.h stops at 1.1.
constexpr GLenum FRAMEBUFFER = 0x8D40;
constexpr GLenum RENDERBUFFER = 0x8D41;
constexpr GLenum COLOR_ATTACHMENT0 = 0x8CE0;
constexpr GLenum DEPTH_ATTACHMENT = 0x8D00;
constexpr GLenum FRAMEBUFFER_COMPLETE = 0x8CD5;
constexpr GLenum DEPTH_COMPONENT24 = 0x81A6;

typedef void(APIENTRY* GenObjects)(GLsizei, GLuint*);
typedef void(APIENTRY* DeleteObjects)(GLsizei, const GLuint*);
typedef void(APIENTRY* BindObject)(GLenum, GLuint);
typedef void(APIENTRY* RenderbufferStorage)(GLenum, GLenum, GLsizei, GLsizei);
typedef void(APIENTRY* FramebufferRenderbuffer)(GLenum, GLenum, GLenum, GLuint);
typedef GLenum(APIENTRY* CheckFramebufferStatus)(GLenum);

const char* const CLASS_NAME = "Headless GL";

HWND window = nullptr;
HDC device_context = nullptr;
HGLRC context = nullptr;
GLuint framebuffer = 0;
GLuint renderbuffers[2] = {0, 0};

template <typename F>
F gl_function(const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(wglGetProcAddress(name)));
}

bool register_class(HINSTANCE instance) {
    WNDCLASSA window_class = {};
    window_class.style = CS_OWNDC;
    window_class.lpfnWndProc = DefWindowProcA;
    window_class.hInstance = instance;
    window_class.lpszClassName = CLASS_NAME;
    return RegisterClassA(&window_class) || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

bool create_context(int32_t width, int32_t height) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    if (!register_class(instance)) return false;
    window = CreateWindowExA(0, CLASS_NAME, "", WS_POPUP, 0, 0, width, height, nullptr, nullptr, instance, nullptr);
    if (!window) return false;
    device_context = GetDC(window);
    PIXELFORMATDESCRIPTOR descriptor = {};
    descriptor.nSize = sizeof(descriptor);
    descriptor.nVersion = 1;
    descriptor.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    descriptor.iPixelType = PFD_TYPE_RGBA;
    descriptor.cColorBits = 24;
    descriptor.cDepthBits = 24;
    descriptor.iLayerType = PFD_MAIN_PLANE;
    const int format = ChoosePixelFormat(device_context, &descriptor);
    if (!format || !SetPixelFormat(device_context, format, &descriptor)) return false;
    context = wglCreateContext(device_context);
    return context && wglMakeCurrent(device_context, context);
}

// Colour with alpha and 24 depth bits, as the OSMesa context on Linux has.
bool create_framebuffer(int32_t width, int32_t height) {
    auto gen_framebuffers = gl_function<GenObjects>("glGenFramebuffers");
    auto bind_framebuffer = gl_function<BindObject>("glBindFramebuffer");
    auto gen_renderbuffers = gl_function<GenObjects>("glGenRenderbuffers");
    auto bind_renderbuffer = gl_function<BindObject>("glBindRenderbuffer");
    auto renderbuffer_storage = gl_function<RenderbufferStorage>("glRenderbufferStorage");
    auto attach = gl_function<FramebufferRenderbuffer>("glFramebufferRenderbuffer");
    auto check = gl_function<CheckFramebufferStatus>("glCheckFramebufferStatus");
    if (!gen_framebuffers || !bind_framebuffer || !gen_renderbuffers || !bind_renderbuffer || !renderbuffer_storage ||
        !attach || !check)
        return false;

    gen_renderbuffers(2, renderbuffers);
    bind_renderbuffer(RENDERBUFFER, renderbuffers[0]);
    renderbuffer_storage(RENDERBUFFER, GL_RGBA8, width, height);
    bind_renderbuffer(RENDERBUFFER, renderbuffers[1]);
    renderbuffer_storage(RENDERBUFFER, DEPTH_COMPONENT24, width, height);
    bind_renderbuffer(RENDERBUFFER, 0);
    gen_framebuffers(1, &framebuffer);
    bind_framebuffer(FRAMEBUFFER, framebuffer);
    attach(FRAMEBUFFER, COLOR_ATTACHMENT0, RENDERBUFFER, renderbuffers[0]);
    attach(FRAMEBUFFER, DEPTH_ATTACHMENT, RENDERBUFFER, renderbuffers[1]);
    if (check(FRAMEBUFFER) != FRAMEBUFFER_COMPLETE) return false;
    // A fresh context's viewport covers its buffer, as OSMesa's does.
    glViewport(0, 0, width, height);
    glClearColor(0, 0, 0, 0);
    glClearDepth(1.0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    return true;
}

}  // namespace

bool headless_gl_create(int32_t width, int32_t height) {
    headless_gl_destroy();
    if (width < 1) width = 1;
    if (height < 1) height = 1;
    if (!create_context(width, height) || !create_framebuffer(width, height)) {
        headless_gl_destroy();
        return false;
    }
    return true;
}

void* headless_gl_proc_address(const char* name) {
    void* proc = context ? reinterpret_cast<void*>(wglGetProcAddress(name)) : nullptr;
    const intptr_t value = reinterpret_cast<intptr_t>(proc);
    return value >= -1 && value <= 3 ? nullptr : proc;
}

void headless_gl_destroy() {
    if (context) {
        if (framebuffer) {
            auto bind_framebuffer = gl_function<BindObject>("glBindFramebuffer");
            auto delete_framebuffers = gl_function<DeleteObjects>("glDeleteFramebuffers");
            auto delete_renderbuffers = gl_function<DeleteObjects>("glDeleteRenderbuffers");
            bind_framebuffer(FRAMEBUFFER, 0);
            delete_framebuffers(1, &framebuffer);
            delete_renderbuffers(2, renderbuffers);
        }
        wglMakeCurrent(nullptr, nullptr);
        wglDeleteContext(context);
    }
    framebuffer = 0;
    renderbuffers[0] = renderbuffers[1] = 0;
    context = nullptr;
    if (device_context) ReleaseDC(window, device_context);
    device_context = nullptr;
    if (window) DestroyWindow(window);
    window = nullptr;
}
