#include "platform/display/Gl.h"

#include <SDL.h>

#include <cstring>
#include <initializer_list>
#include <type_traits>

bool LoadGlEntryPoints(GlEntryPoints& gl) {
    auto load = [](auto& entryPoint, const char* name) {
        entryPoint = reinterpret_cast<std::remove_reference_t<decltype(entryPoint)>>(SDL_GL_GetProcAddress(name));
        return entryPoint != nullptr;
    };
    return load(gl.GenFramebuffers, "glGenFramebuffers") && load(gl.DeleteFramebuffers, "glDeleteFramebuffers") &&
           load(gl.BindFramebuffer, "glBindFramebuffer") &&
           load(gl.FramebufferRenderbuffer, "glFramebufferRenderbuffer") &&
           load(gl.CheckFramebufferStatus, "glCheckFramebufferStatus") &&
           load(gl.BlitFramebuffer, "glBlitFramebuffer") && load(gl.GenRenderbuffers, "glGenRenderbuffers") &&
           load(gl.DeleteRenderbuffers, "glDeleteRenderbuffers") && load(gl.BindRenderbuffer, "glBindRenderbuffer") &&
           load(gl.RenderbufferStorage, "glRenderbufferStorage") && load(gl.ActiveTexture, "glActiveTexture") &&
           load(gl.ClientActiveTexture, "glClientActiveTexture") && load(gl.WindowPos2i, "glWindowPos2i") &&
           load(gl.GenSamplers, "glGenSamplers") && load(gl.DeleteSamplers, "glDeleteSamplers") &&
           load(gl.BindSampler, "glBindSampler") && load(gl.SamplerParameteri, "glSamplerParameteri");
}

bool SoftwareRasteriser() {
    const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    if (!renderer) return false;
    for (const char* software : {"llvmpipe", "softpipe", "swrast", "Software Rasterizer"})
        if (std::strstr(renderer, software)) return true;
    return false;
}
