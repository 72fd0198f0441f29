// The real libportlink, loaded by name as the tool loads it, once per test
// program (the library holds one port for the whole process).
#pragma once

#include "library_loader.h"
#include "serial_library.h"

#include <cstdio>
#include <cstdlib>

namespace testsupport {

inline SerialLibrary &RealLibrary()
{
    static LoadedLibrary loaded = LoadSerialLibrary();
    if (!loaded.error.empty()) {
        std::fprintf(stderr, "%s\n", loaded.error.c_str());
        std::abort();
    }
    return *loaded.library;
}

} // namespace testsupport
