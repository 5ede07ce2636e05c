#include "BuiltModule.h"

std::string builtModulePath()
{
    return MODULE_FILE;
}
