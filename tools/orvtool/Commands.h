// The subcommands of orvtool. Each takes its own name as argv[0] and returns
// the process's exit status.
#pragma once

int PackCommand(int argc, char** argv);
int LevelCommand(int argc, char** argv);
