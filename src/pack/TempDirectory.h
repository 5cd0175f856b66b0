// Where temporary files and directories go: the run directories of the
// engine's unpacking and orvtool's working copies.
#pragma once

#include <string>

// $TMPDIR when it is set and not empty, made absolute (from the current
// directory), else /tmp.
std::string TempDirectory();
