// Running the built orvtool binary from the tests, as a user would.
#pragma once

#include <string>
#include <vector>

#include "support/TempDir.h"

struct ToolResult {
    int status;       // exit status, -1 when it did not exit normally
    std::string out;  // what it wrote to stdout
    std::string err;  // what it wrote to stderr
};

// Runs "orvtool ARGS..." with an empty stdin; its output goes through files
// in `outputDir`.
ToolResult RunOrvtool(const std::vector<std::string>& args, const TempDir& outputDir);

// A failure as every subcommand reports it: a non-zero status, nothing on
// stdout and one "orvtool: " line on stderr.
void ExpectOneLineFailure(const ToolResult& result);
