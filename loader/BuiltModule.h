#pragma once
// The module file this build produced, for the programs of the build that
// load it (tests, benchmark).

#include <string>

std::string builtModulePath();
