// The subcommands of orvtool. Each takes its own name as argv[0] and returns
// the process's exit status: 0 done, 1 failed, 2 a command line it cannot take.
#pragma once

#include <string>

int CompileCommand(int argc, char** argv);
int ContentCommand(int argc, char** argv);
int ModelCommand(int argc, char** argv);
int PackCommand(int argc, char** argv);
int LevelCommand(int argc, char** argv);
int WalkCommand(int argc, char** argv);

// "orvtool: MESSAGE" on standard error; returns `status`.
int Fail(const std::string& message, int status = 1);

// "orvtool: warning: MESSAGE" on standard error.
void Warn(const std::string& message);

// A command line that `command` cannot take: its usage, on one line, on
// standard error; returns 2.
int UsageError(const std::string& command);

// orvtool pack build, which PackCommand hands "build" to.
int PackBuildCommand(int argc, char** argv);
