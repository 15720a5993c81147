// The demo's soundtrack as a song description: ten sections in A minor at
// 128 BPM, one for each scene of the demo in playing order (intro, groove,
// breakdown, drop, temple, space, build, chip, stomp, finale), about four
// minutes in all.
//
// A baker that needs other scene lengths changes the sections' bar counts;
// every pattern cycles, so any number of bars plays. The section names say
// what plays, not which scene uses them.
#pragma once

#include "tools/music/song.h"

namespace music {

Song ExampleSong();

}  // namespace music
