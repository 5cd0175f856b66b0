// The one way orvtool writes a file: every level, lightmap page, texture,
// point file and pack goes through here.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// Writes `pieces`, one after the other, to a new file in the folder of `path`
// and renames it to `path`, so that a failure never leaves a half-written file
// under that name: the new file is then removed, whatever was at `path` stays
// as it was, and `error` says why.
//
// The new file is created exclusively and never through a link, so a link or
// file another user planted in a shared folder is neither followed nor
// overwritten; a name already taken is passed over for a fresh random one, so
// planted names cannot block the write either. The file gets the usual mode
// (0666 less the umask).
bool WriteFileAtomically(const std::string& path, const std::vector<std::string_view>& pieces, std::string& error);
