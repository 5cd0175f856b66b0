// orvtool: the developer's tool for the engine's content. The table of its
// commands with their usage, the help and the dispatch.
#include <cstdio>
#include <string>
#include <vector>

#include "orvtool/Commands.h"

namespace {

// A command line and what it does, or an option and what it means: one line each in the help.
struct Line {
    const char* form;
    const char* text;
};

struct Subcommand {
    const char* name;
    int (*run)(int argc, char** argv);
    std::vector<Line> forms;  // its command lines, after "orvtool "
    std::vector<Line> options;
};

// The options compile and pack build share (orvtool/MapInput.h).
const std::vector<Line> kMapOptions = {
    {"-j, --jobs THREADS", "threads for the lighting, 1 to 64 (also -jTHREADS, --jobs=THREADS); 2 when not given"},
    {"--textures FOLDER|WAD", "where the map's textures are looked up; may be given several times, looked up in order"},
    {"--palette FILE", "the palette of a WAD2's textures (768 bytes, as palette.lmp); before one found beside the WAD"},
    {"--scale UNITS", "an editor map's units to one engine unit (0.01 to 1000; 12 when not given)"},
};

std::vector<Line> With(std::vector<Line> first, const std::vector<Line>& more) {
    first.insert(first.end(), more.begin(), more.end());
    return first;
}

const Subcommand kSubcommands[] = {
    {"compile",
     CompileCommand,
     {{"compile MAP -o DIR [-j|--jobs THREADS] [--textures FOLDER|WAD]... [--palette FILE] [--scale UNITS]",
       "compiles MAP (our own map text or a level editor's map) into DIR/LEVEL.bsp, its lightmap pages and, for an "
       "editor map, its textures"}},
     With({{"-o DIR", "the folder the files go to (made when missing)"}}, kMapOptions)},
    {"content",
     ContentCommand,
     {{"content texture NAME OUT", "one of the demo textures (wall0, floor1 ...) as a BMP"},
      {"content jump OUT", "the jump sound as a WAV"},
      {"content music OUT", "the music as an MP3"},
      {"content level MAP DIR", "the demo level with the lamp: LEVEL.bsp, its lightmap pages and LEVEL.mdl in DIR"},
      {"content pack OUT DIR", "the unpack table's files in DIR, packed into OUT"}},
     {}},
    {"model", ModelCommand, {{"model info FILE", "the parts of a model file, as a tree, with their polygons"}}, {}},
    {"pack",
     PackCommand,
     {{"pack create OUT NAME=FILE...", "writes a pack holding each FILE as the entry NAME"},
      {"pack list PACK", "name, offset and size of each entry"},
      {"pack extract PACK NAME FILE", "copies the entry NAME out into FILE"},
      {"pack build MAP -o PACK [--textures FOLDER|WAD]... [--palette FILE] [--scale UNITS] [-j|--jobs THREADS] "
       "[--demo PACK] [--model FILE] [--sound FILE] [--music FILE]",
       "compiles MAP into a pack the engine plays: each texture its own picture, up to 256 (beyond, the nearest in "
       "colour's), up to 31 lightmap pages"}},
     With(
         {{"-o PACK", "the pack pack build writes"},
          {"--demo PACK", "the pack the sound and the music come from (Orvanthelix.zar beside orvtool when not given)"},
          {"--model FILE", "the model the pack carries, instead of the demo's lamp"},
          {"--sound FILE", "the jump sound file the engine plays, instead of the demo's"},
          {"--music FILE", "the music file the engine plays, instead of the demo's"}},
         kMapOptions)},
    {"level",
     LevelCommand,
     {{"level info FILE [--pack PACK]",
       "counts, depth and image names of a level; with a pack, each image's entry and whether PACK holds it"},
      {"level solid FILE X Y Z", "whether the point lies in solid space: solid or empty"},
      {"level order FILE X Y Z", "the polygons drawn from a camera at the point, in order: leaf and polygon"}},
     {}},
    {"walk",
     WalkCommand,
     {{"walk LEVEL SCRIPT [--start X Y Z]",
       "runs the player on LEVEL without a window, a line per frame; SCRIPT: frame groups KEYS[@DX,DY][*N] "
       "separated by spaces, KEYS - or key names joined by + (w a s d up down left right space escape)"}},
     {{"--start X Y Z", "where the player starts instead of the engine's start"}}},
};

const Subcommand* Find(const std::string& name) {
    for (const auto& subcommand : kSubcommands)
        if (name == subcommand.name) return &subcommand;
    return nullptr;
}

bool IsHelp(const std::string& arg) { return arg == "--help" || arg == "-h" || arg == "help"; }

// Every command's usage.
void PrintUsage(FILE* out) {
    std::fprintf(out, "usage:\n");
    for (const auto& subcommand : kSubcommands)
        for (const Line& form : subcommand.forms) std::fprintf(out, "  orvtool %s\n", form.form);
    std::fprintf(out, "  orvtool help [COMMAND]   this text, or one command's with its options (also -h, --help)\n");
}

// Every command's usage, or one command's: each command line with what it
// does, then each option in a line.
int Help(const Subcommand* only = nullptr) {
    if (!only) {
        PrintUsage(stdout);
    } else {
        for (const Line& form : only->forms) std::printf("orvtool %s\n    %s\n", form.form, form.text);
        if (!only->options.empty()) std::printf("\noptions:\n");
        for (const Line& option : only->options) std::printf("  %-22s %s\n", option.form, option.text);
    }
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
    for (const Line& form : Find(command)->forms) {
        line += separator + std::string("orvtool ") + form.form;
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
