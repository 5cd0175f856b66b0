// The renderer a build of the program draws with. Each program variant links
// its own definition (see src/CMakeLists.txt), so the engine library is the
// same for every variant and for the tests.
#pragma once

class Renderer;

Renderer* ChosenRenderer();
