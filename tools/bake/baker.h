// Bakes the whole demo data set into a directory: vlm.ini and, under data/,
// the eleven scene files, textures, flare and particle descriptions, the font
// and the soundtrack. Everything is made from code, the same bytes on every
// run (the soundtrack renders on a second thread; its bytes do not depend on
// timing).
//
// Files a previous bake wrote into the same directory and this one does not
// are removed (the list of written files is kept in bake-manifest.txt); no
// other file is touched.
#pragma once

#include <string>
#include <vector>

namespace bake {

struct BakeReport {
    std::vector<std::string> files;  // relative to the output directory, vlm.ini last
    double seconds = 0;              // wall time of the whole bake
    double musicSeconds = 0;         // of which rendering and encoding the soundtrack
    double showSeconds = 0;          // length of the show
};

bool Bake(const std::string& outDir, BakeReport* report, std::string* error);

}  // namespace bake
