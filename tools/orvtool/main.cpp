// orvtool: the developer's tool for the engine's content.
#include <cstdio>
#include <cstring>

#include "orvtool/Commands.h"

namespace {

struct Subcommand {
    const char* name;
    int (*run)(int argc, char** argv);
    const char* usage;
};

const Subcommand kSubcommands[] = {
    {"compile", CompileCommand, "compile MAP -o DIR [-j THREADS] [--textures DIR] [--scale UNITS]"},
    {"content", ContentCommand,
     "content texture NAME OUT | content jump OUT | content music OUT | content model LIGHTMAP OUT | "
     "content pack OUT DIR"},
    {"model", ModelCommand, "model info FILE"},
    {"pack", PackCommand,
     "pack create OUT NAME=FILE... | pack list PACK | pack extract PACK NAME FILE | "
     "pack build MAP -o PACK [--textures DIR] [--scale UNITS] [-j THREADS] [--demo PACK] [--model FILE] "
     "[--sound FILE] [--music FILE]"},
    {"level", LevelCommand, "level info FILE | level solid FILE X Y Z | level order FILE X Y Z"},
    {"walk", WalkCommand, "walk LEVEL SCRIPT [--start X Y Z]"},
};

int Usage() {
    std::fprintf(stderr, "usage:\n");
    for (const auto& subcommand : kSubcommands) std::fprintf(stderr, "  orvtool %s\n", subcommand.usage);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage();
    for (const auto& subcommand : kSubcommands)
        if (std::strcmp(argv[1], subcommand.name) == 0) return subcommand.run(argc - 1, argv + 1);
    std::fprintf(stderr, "orvtool: unknown command '%s'\n", argv[1]);
    return Usage();
}
