// load_module FILE: loads a module file as a host does (ModuleLibrary: on
// Windows LoadLibraryExW with LOAD_WITH_ALTERED_SEARCH_PATH, so the DLLs it
// needs are looked for in its own folder) and finds create and destory.
// scripts/test-windows runs it on the unpacked zip's module from outside the
// zip, with nothing on the PATH. Exit status 0 when loaded, 1 when not.

#include "ModuleLibrary.h"

#include <cstdio>

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: load_module FILE\n");
        return 2;
    }
    ModuleLibrary module;
    if (!module.open(argv[1]) || !module.symbol("create") || !module.symbol("destory")) {
        std::fprintf(stderr, "load_module: %s\n", module.error().c_str());
        return 1;
    }
    std::printf("load_module: loaded %s\n", argv[1]);
    return 0;
}
