// Runs the built orvtool binary as a user would.
#pragma once

#include <string>
#include <vector>

struct ToolResult {
    int status;  // exit status, -1 when it did not exit normally
    std::string out;
    std::string err;
};

// Runs "orvtool ARGS..." without input and collects its exit status and output.
ToolResult RunOrvtool(const std::vector<std::string>& args);

// A failure as orvtool reports one: a non-zero status, nothing on standard
// output and one line starting "orvtool: " on standard error.
void ExpectOneLineFailure(const ToolResult& result);
