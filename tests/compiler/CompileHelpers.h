// Map text for the compiler's tests.
#pragma once

#include <string>

// The sample map of the source tree as text.
std::string SampleMap();
