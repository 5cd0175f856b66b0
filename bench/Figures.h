// The figures each benchmark leaves, printed together at the end of the run.
#pragma once

#include <string>
#include <vector>

struct FrameFigure {
    std::string renderer;
    std::string viewpoint;
    int triangles;
    int engineDrawCalls;  // runs of one texture pair in the order the engine draws
    int idealDrawCalls;
    int frames;
    double engineMs;  // medians
    double idealMs;
};

struct WholeFrameFigure {
    std::string renderer;
    int width;  // of the window
    int height;
    double framesPerSecond;  // of frames back to back
    double processorMs;      // a frame's, all the process's threads
    double wholeMs;          // medians: the renderer's frame with its present
    double composeMs;        // composing the window image
    double swapMs;           // showing it
    double idealMs;          // the ideal present of the same picture
};

struct StartupFigure {
    int runs;
    double packToFlipMs;  // medians
    double wholeMs;       // from the entry routine's start
    double processorMs;   // processor time of pack to flip, all threads
    double lowestMs;      // of packToFlip
    double highestMs;
};

struct TextureFigure {
    std::string renderer;
    int records;   // texture records with a GPU texture
    int textures;  // GPU textures they hold
    int distinctImages;
    double sharedBytes;    // what is held
    double unsharedBytes;  // one texture per record
    double distinctBytes;  // each distinct image once
};

struct CompileStep {
    std::string name;
    double seconds;  // median
};

struct Figures {
    std::vector<FrameFigure> frames;
    std::vector<WholeFrameFigure> wholeFrames;
    std::vector<StartupFigure> startup;
    std::vector<TextureFigure> textures;
    std::vector<CompileStep> compileSteps;
    int compileRuns = 0;
};

extern Figures g_Figures;

// The summary: every ratio and median, one table per kind of figure.
void PrintFigures();
