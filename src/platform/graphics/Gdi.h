// Bitmaps and text on surfaces, as the Direct3D-style renderer calls them:
// memory device contexts, BMP files loaded as bitmaps (decoded by SDL),
// bit-block transfer onto a surface's context, and text output (FreeType with
// the DejaVu Sans font that fontconfig finds, about 16 pixels a line).
#pragma once

#include "platform/core/Types.h"

constexpr UINT IMAGE_BITMAP = 0;
constexpr UINT LR_LOADFROMFILE = 0x00000010;
constexpr DWORD SRCCOPY = 0x00CC0020;
constexpr int TRANSPARENT = 1;
constexpr int OPAQUE = 2;

// A context compatible with `dc`, with no bitmap selected; null on failure.
HDC CreateCompatibleDC(HDC dc);
BOOL DeleteDC(HDC dc);

// A bitmap from a BMP file (1, 4, 8, 16, 24 or 32 bits, either row order,
// any of the common header versions); null when the file cannot be opened or
// decoded. Loads of files with the same content share the decoded pixels.
HGDIOBJ LoadImageA(HINSTANCE instance, const char* name, UINT type, int width, int height, UINT flags);
BOOL DeleteObject(HGDIOBJ object);

// Selects a bitmap into a memory context; returns the one it replaces.
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);

// Copies from a memory context's bitmap onto a surface's context, converting
// to the surface's RGB565. Only SRCCOPY.
BOOL BitBlt(HDC destination, int x, int y, int width, int height, HDC source, int sourceX, int sourceY,
            DWORD operation);

COLORREF SetTextColor(HDC dc, COLORREF colour);  // returns the previous colour
int SetBkMode(HDC dc, int mode);                 // returns the previous mode
// Draws the text with its cell's top-left corner at (x, y).
BOOL TextOutA(HDC dc, int x, int y, const char* text, int length);
