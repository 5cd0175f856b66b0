// Opening files the way the engine's design expects on a case-insensitive
// file system: "Test.bsp" reaches "test.bsp" when no file of the exact name exists.
#pragma once

#include <cstdio>
#include <string>

// The name that an open of `name` reaches: `name` itself when such a file
// exists, else the one entry of its directory whose name matches ignoring
// case (the smallest such name when several match), else `name` unchanged.
std::string ResolveFileName(const std::string& name);

// fopen through ResolveFileName. Every stream the engine opens comes from here,
// so that _fcloseall can close whatever is still open at shut-down.
FILE* OpenFile(const char* name, const char* mode);

// fopen of exactly `name`, tracked like OpenFile's streams. For a file the
// caller makes: writing "x.out" never replaces an existing "X.out".
FILE* OpenExactFile(const char* name, const char* mode);

// fclose for a stream from OpenFile or OpenExactFile.
int CloseFile(FILE* stream);

// Closes every stream from OpenFile or OpenExactFile that is still open; returns how many.
// The standard streams are never touched.
int _fcloseall();  // NOLINT(bugprone-reserved-identifier): the platform call's own name
