// orvtool: the developer's tool for the engine's content. The table of its
// commands with their usage, the help and the dispatch.
#include <cstdio>
#include <string>
#include <vector>

#include "orvtool/Commands.h"

namespace {

struct Subcommand {
    const char* name;
    int (*run)(int argc, char** argv);
    std::vector<const char*> forms;  // its command lines, after "orvtool "
};

const Subcommand kSubcommands[] = {
    {"compile",
     CompileCommand,
     {"compile MAP -o DIR [-j|--jobs THREADS] [--textures FOLDER|WAD]... [--palette FILE] [--scale UNITS]"}},
    {"content",
     ContentCommand,
     {"content texture NAME OUT", "content jump OUT", "content music OUT", "content level MAP DIR",
      "content pack OUT DIR"}},
    {"model", ModelCommand, {"model info FILE"}},
    {"pack",
     PackCommand,
     {"pack create OUT NAME=FILE...", "pack list PACK", "pack extract PACK NAME FILE",
      "pack build MAP -o PACK [--textures FOLDER|WAD]... [--palette FILE] [--scale UNITS] [-j|--jobs THREADS] [--demo "
      "PACK] "
      "[--model FILE] "
      "[--sound FILE] [--music FILE]   (each texture its own picture, up to 256; beyond, the nearest in colour's)"}},
    {"level", LevelCommand, {"level info FILE [--pack PACK]", "level solid FILE X Y Z", "level order FILE X Y Z"}},
    {"walk", WalkCommand, {"walk LEVEL SCRIPT [--start X Y Z]"}},
};

const Subcommand* Find(const std::string& name) {
    for (const auto& subcommand : kSubcommands)
        if (name == subcommand.name) return &subcommand;
    return nullptr;
}

bool IsHelp(const std::string& arg) { return arg == "--help" || arg == "-h" || arg == "help"; }

// Every command's usage, or only `only`'s.
void PrintUsage(FILE* out, const Subcommand* only = nullptr) {
    std::fprintf(out, "usage:\n");
    for (const auto& subcommand : kSubcommands) {
        if (only && only != &subcommand) continue;
        for (const char* form : subcommand.forms) std::fprintf(out, "  orvtool %s\n", form);
    }
    if (!only) std::fprintf(out, "  orvtool help [COMMAND]   this text, or one command's (also -h, --help)\n");
}

int Help(const Subcommand* only = nullptr) {
    PrintUsage(stdout, only);
    return std::fflush(stdout) == 0 ? 0 : 1;
}

int UnknownCommand(const std::string& name) {
    return Fail("unknown command '" + name + "' ('orvtool --help' lists the commands)", 2);
}

}  // namespace

int Fail(const std::string& message, int status) {
    std::fprintf(stderr, "orvtool: %s\n", message.c_str());
    return status;
}

void Warn(const std::string& message) { std::fprintf(stderr, "orvtool: warning: %s\n", message.c_str()); }

int UsageError(const std::string& command) {
    std::string line = "usage:";
    const char* separator = " ";
    for (const char* form : Find(command)->forms) {
        line += separator + std::string("orvtool ") + form;
        separator = " | ";
    }
    return Fail(line, 2);
}

int main(int argc, char** argv) {
    if (argc < 2) {
        PrintUsage(stderr);
        return 2;
    }
    const std::string first = argv[1];
    if (IsHelp(first)) {
        if (argc == 2) return Help();
        if (argc == 3) {
            const Subcommand* asked = Find(argv[2]);
            return asked ? Help(asked) : UnknownCommand(argv[2]);
        }
        PrintUsage(stderr);
        return 2;
    }
    const Subcommand* subcommand = Find(first);
    if (!subcommand) return UnknownCommand(first);
    if (argc == 3 && (std::string(argv[2]) == "--help" || std::string(argv[2]) == "-h")) return Help(subcommand);
    return subcommand->run(argc - 1, argv + 1);
}
