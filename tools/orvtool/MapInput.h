// Maps for orvtool's compile and pack build: the options the two commands
// share, and the compiler's BuildLevel as orvtool runs it (BuildMapFile).
#pragma once

#include <string>
#include <vector>

#include "compiler/editor/BuildLevel.h"

// Takes the option at args[i] when it is one the two commands share (-j
// THREADS (also -jTHREADS, --jobs THREADS, --jobs=THREADS), --textures
// FOLDER|WAD (repeatable), --palette FILE, --scale UNITS), moving i to its
// last word: 1 when taken, 0 when args[i] is not one of them, -1 when it is
// misused.
int TakeMapOption(const std::vector<std::string>& args, std::size_t& i, orvcompile::MapSource& source);

// Reads and compiles the map file, printing the steps on standard output (an
// editor map's followed by a summary of what became of it) and warnings on
// standard error; textures the ones given lack are the engine's
// own of that name. `level` names an editor map's level (empty: after the
// file) and replaces an own map's; `lightmapPages` bounds an editor map's
// pages. A leak in an editor map writes the way out as a point file beside
// the map. False with the message.
bool BuildMapFile(const orvcompile::MapSource& source, const std::string& level, int lightmapPages,
                  orvcompile::TexturePictures pictures, orvcompile::BuiltLevel& built, std::string& error);
