// The subcommands of orvtool. Each takes its own name as argv[0] and returns
// the process's exit status.
#pragma once

int CompileCommand(int argc, char** argv);
int ContentCommand(int argc, char** argv);
int ModelCommand(int argc, char** argv);
int PackCommand(int argc, char** argv);
int LevelCommand(int argc, char** argv);
int WalkCommand(int argc, char** argv);
