// Runs the built orvtool binary as a user would.
#pragma once

#include <optional>
#include <string>
#include <vector>

struct ToolResult {
    int status;  // exit status, -1 when it did not exit normally
    std::string out;
    std::string err;
};

// Runs "orvtool ARGS..." and collects its exit status and output. Its
// standard input is a pipe carrying `piped`, or /dev/null without it.
ToolResult RunOrvtool(const std::vector<std::string>& args, const std::optional<std::string>& piped = std::nullopt);

// A failure as orvtool reports one: a non-zero status, nothing on standard
// output and one line starting "orvtool: " on standard error.
void ExpectOneLineFailure(const ToolResult& result);
