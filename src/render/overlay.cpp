#include "render/overlay.h"

#include "display/display.h"
#include "render/gl.h"

void gfx_begin_2d(const EyeView* view) {
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    const int32_t h = display.screen_height;
    glPushAttrib(GL_ENABLE_BIT | GL_DEPTH_BUFFER_BIT | GL_VIEWPORT_BIT);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    if (view) {
        glViewport(view->x, view->y, view->w, view->h);
        glOrtho(0, view->layout_w, view->layout_h, 0, h / 2, -(h / 2));
    } else {
        glOrtho(viewport[0], viewport[0] + viewport[2], h - viewport[1], h - (viewport[1] + viewport[3]), h / 2,
                -(h / 2));
    }
    glMatrixMode(GL_MODELVIEW);
    glDisable(GL_DEPTH_TEST);
    glDepthMask(GL_FALSE);
}

void gfx_end_2d() {
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glPopAttrib();
}
