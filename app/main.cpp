// Entry point of the velmoor program.
#include <cstdio>
#include <string>

#include "app/options.h"
#include "app/program.h"
#include "demo/scene_sequencer.h"

int main(int argc, char** argv) {
    RunOptions options;
    std::string error;
    if (!ParseOptions(argc, argv, &options, &error)) {
        std::fprintf(stderr, "velmoor: %s\n%s", error.c_str(), UsageText());
        return 2;
    }
    if (options.help) {
        std::fputs(UsageText(), stdout);
        return 0;
    }
    SceneSequencer sequencer;
    return RunVelmoor(options, &sequencer);
}
