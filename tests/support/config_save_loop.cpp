// Saves the settings file in a loop until it is killed, for the crash-safety test. It says
// "saving" once its first save is made.
//   config_save_loop <folder>
// The first run fills the file with a fixed block of sections; every save after that writes
// "Loop"/"Check" as "<n>:" followed by a text that n decides, n counting up from the value
// found in the file. After a kill the test expects the fixed block whole and a Check value
// that is whole and not older than the last one it saw.
#include "ConfigSaveLoop.h"
#include "base/settings/ConfigFile.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: config_save_loop <folder>\n");
        return 2;
    }
    vantrell::settings::ConfigFile file{std::filesystem::path(argv[1])};
    if (!file.exists()) {
        for (const auto& [section, key, value] : saveloop::fixedEntries()) {
            if (!file.writeString(section, key, value)) {
                std::fprintf(stderr, "cannot write the fixed block\n");
                return 1;
            }
        }
    }
    long long n = saveloop::checkNumber(file.readString("Loop", "Check", "")).value_or(0);
    for (bool told = false;; told = true) {
        ++n;
        if (!file.writeString("Loop", "Check", saveloop::checkValue(n)))
            return 1;
        // Told once a save has been made, however slowly this build saves.
        if (!told) {
            std::puts("saving");
            std::fflush(stdout);
        }
    }
}
