// The demo's soundtrack, arranged to the show plan: one or more song sections
// per scene, in playing order, in A minor at the plan's tempo. The jungle opens
// with an ambient intro and breaks into a run; the cavern alternates dark
// grooves with brighter forest interludes; the lake drops the main theme; the
// temple turns to D minor; space floats; the earth builds; the computer plays a
// chip groove, the dinosaur stomps and the greetings close with the finale.
//
// The song ends with a short silent coda after the greetings, so the music
// always outlasts the show.
//
// SceneTimes() gives the soundtrack's hits inside one scene in that scene's
// time (0 = the scene's first frame), for the configuration's flash lists.
#pragma once

#include <vector>

#include "tools/bake/show_plan.h"
#include "tools/music/song.h"

namespace bake {

// Bars of silence after the show's last scene: each script starts a frame or
// two after the one before it ends, so at a low fixed frame rate (2 frames a
// second in tests) the show runs up to 9 s behind the music.
constexpr int kCodaBars = 8;

music::Song ShowSong(const ShowPlan& plan);

// Times of `times` (music time) that fall inside script `script`'s part of the
// show, made relative to its start, ascending.
std::vector<double> SceneTimes(const ShowPlan& plan, const std::vector<double>& times, int script);

}  // namespace bake
