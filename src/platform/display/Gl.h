// OpenGL for the stand-ins and the renderers: the 1.1 API from the system
// headers, and the later entry points the virtual display and the 3D device
// need, loaded through SDL once a context is current (never assumed to be
// exported).
#pragma once

#define GL_GLEXT_PROTOTYPES 0
#include <GL/gl.h>
#include <GL/glext.h>

struct GlEntryPoints {
    PFNGLGENFRAMEBUFFERSPROC GenFramebuffers;
    PFNGLDELETEFRAMEBUFFERSPROC DeleteFramebuffers;
    PFNGLBINDFRAMEBUFFERPROC BindFramebuffer;
    PFNGLFRAMEBUFFERRENDERBUFFERPROC FramebufferRenderbuffer;
    PFNGLCHECKFRAMEBUFFERSTATUSPROC CheckFramebufferStatus;
    PFNGLBLITFRAMEBUFFERPROC BlitFramebuffer;
    PFNGLGENRENDERBUFFERSPROC GenRenderbuffers;
    PFNGLDELETERENDERBUFFERSPROC DeleteRenderbuffers;
    PFNGLBINDRENDERBUFFERPROC BindRenderbuffer;
    PFNGLRENDERBUFFERSTORAGEPROC RenderbufferStorage;
    PFNGLACTIVETEXTUREPROC ActiveTexture;
    PFNGLCLIENTACTIVETEXTUREARBPROC ClientActiveTexture;  // the same entry point; gl.h names only this type
    PFNGLWINDOWPOS2IPROC WindowPos2i;
    PFNGLGENSAMPLERSPROC GenSamplers;
    PFNGLDELETESAMPLERSPROC DeleteSamplers;
    PFNGLBINDSAMPLERPROC BindSampler;
    PFNGLSAMPLERPARAMETERIPROC SamplerParameteri;
};

// The entry points of the current context; false when one is missing.
bool LoadGlEntryPoints(GlEntryPoints& entryPoints);

// Whether the current context is one of Mesa's software rasterisers (where
// every pixel GL fills costs processor time).
bool SoftwareRasteriser();
