// bake: writes the demo's whole data set (vlm.ini and data/) into a directory.
//
//   bake OUTDIR [-v]
//
// -v lists the files written and how long the bake took. Exit status 0 on
// success, 1 with one line on stderr when something cannot be made or written,
// 2 for a wrong command line.
#include <cstdio>
#include <cstring>
#include <string>

#include "tools/bake/baker.h"

int main(int argc, char** argv) {
    std::string out;
    bool verbose = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-v") == 0) {
            verbose = true;
        } else if (out.empty() && argv[i][0] != '-') {
            out = argv[i];
        } else {
            out.clear();
            break;
        }
    }
    if (out.empty()) {
        std::fputs("usage: bake OUTDIR [-v]\n", stderr);
        return 2;
    }
    bake::BakeReport report;
    std::string error;
    if (!bake::Bake(out, &report, &error)) {
        std::fprintf(stderr, "bake: %s\n", error.c_str());
        return 1;
    }
    if (verbose) {
        for (const std::string& f : report.files) std::printf("%s\n", f.c_str());
        std::printf("%zu files, a %.1f s show, baked in %.1f s (soundtrack %.1f s)\n", report.files.size(),
                    report.showSeconds, report.seconds, report.musicSeconds);
    }
    return 0;
}
