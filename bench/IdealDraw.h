// The ideal draw of a captured frame: the same triangles with the same
// textures in one static vertex buffer, sorted by texture pair, one draw call
// per pair, in the engine's GL context on the same 640x480 picture, with the
// depth test deciding what covers what. It is presented like an engine frame.
#pragma once

#include <vector>

#include "Capture.h"

class IdealDraw {
public:
    // `textureUnits` is 2 for the Direct3D-style renderer (lightmap times
    // texture), 1 for the OpenGL renderer (lightmap only). `projection` and
    // `view` are GL matrices as the renderer left them for its frame.
    IdealDraw(const std::vector<CapturedTriangle>& triangles, int textureUnits, const GLfloat projection[16],
              const GLfloat view[16]);
    ~IdealDraw();
    IdealDraw(const IdealDraw&) = delete;
    IdealDraw& operator=(const IdealDraw&) = delete;

    // Clears, draws and presents one frame. The engine's GL state is saved
    // before and restored after, outside what Draw does.
    void Draw();
    void SaveEngineState();
    void RestoreEngineState();

    int DrawCalls() const { return static_cast<int>(groups.size()); }

private:
    struct Group {
        GLuint textures[2];
        GLint first;
        GLsizei count;
    };
    struct BufferEntryPoints {
        PFNGLGENBUFFERSPROC GenBuffers;
        PFNGLDELETEBUFFERSPROC DeleteBuffers;
        PFNGLBINDBUFFERPROC BindBuffer;
        PFNGLBUFFERDATAPROC BufferData;
    };

    int units;
    GLfloat projection[16];
    GLfloat view[16];
    std::vector<Group> groups;
    GlEntryPoints gl{};
    BufferEntryPoints buffers{};
    GLuint buffer = 0;
    GLuint samplers[2] = {};
    GLint savedSamplers[2] = {};
};
