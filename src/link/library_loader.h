// Loads libportlink at run time by its soname, from its private folder beside
// the executable's (../lib/<multiarch>/tovrik), else wherever the system's
// loader looks.
#pragma once

#include <memory>
#include <string>

class SerialLibrary;

struct LoadedLibrary {
    std::unique_ptr<SerialLibrary> library; // never null
    std::string error;                      // empty when the real library loaded
};

// On failure, `library` is a stand-in whose port never opens, and `error`
// names the library and the loader's reason.
[[nodiscard]] LoadedLibrary LoadSerialLibrary();
