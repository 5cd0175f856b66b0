// The fixture of the level tests: a directory of their own as the current
// directory (the level opens its files by bare names) and a recording
// renderer as g_pRenderer.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "globals/Globals.h"
#include "level/Bsp.h"
#include "support/files/TempDir.h"
#include "support/stand-ins/RecordingRenderer.h"

class LevelTest : public ::testing::Test {
protected:
    LevelTest() { g_pRenderer = &renderer; }
    ~LevelTest() override {
        level.FreeTree(&level.root);
        delete renderer.lightmapTable;
        delete g_pBlankTexture;
        g_pBlankTexture = nullptr;
        g_pRenderer = nullptr;
        g_PolygonsRendered = 0;
    }

    // Writes `text` as "test.bsp" and loads it as the engine names it.
    bool Load(const std::string& text) {
        dir.Write("test.bsp", text);
        return level.Load("Test.bsp");
    }

    TempDir dir;
    ScopedCurrentDir inDir{dir.Path()};
    RecordingRenderer renderer;
    Bsp level;
};
