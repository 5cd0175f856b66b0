#include "support/files/Orvtool.h"

#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>

#include <gtest/gtest.h>

#include "support/files/TempDir.h"

namespace {

std::string Quote(const std::string& arg) {
    std::string quoted = "'";
    for (char c : arg) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

}  // namespace

ToolResult RunOrvtool(const std::vector<std::string>& args, const std::optional<std::string>& piped) {
    TempDir outputDir;  // apart from the test's files, so that leftovers there show
    std::string command = Quote(ORVTOOL_PATH);
    if (piped) command = "cat " + Quote(outputDir.Write("stdin", *piped)) + " | " + command;
    for (const std::string& arg : args) command += " " + Quote(arg);
    const std::string out = outputDir.File("stdout");
    const std::string err = outputDir.File("stderr");
    command += " >" + Quote(out) + " 2>" + Quote(err) + (piped ? "" : " </dev/null");
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, TempDir::Read(out), TempDir::Read(err)};
}

void ExpectOneLineFailure(const ToolResult& result) {
    EXPECT_NE(result.status, 0);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err.rfind("orvtool: ", 0), 0u) << result.err;
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    ASSERT_FALSE(result.err.empty());
    EXPECT_EQ(result.err.back(), '\n');
}
