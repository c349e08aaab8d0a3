#include "render/overlay.h"

#include "display/display.h"
#include "render/gl.h"

void gfx_begin_2d() {
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    const int32_t h = display.screen_height;
    glPushAttrib(GL_ENABLE_BIT | GL_DEPTH_BUFFER_BIT);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(viewport[0], viewport[0] + viewport[2], h - viewport[1], h - (viewport[1] + viewport[3]), h / 2,
            -(h / 2));
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
