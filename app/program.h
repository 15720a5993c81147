// The velmoor program from its command line to its exit code: checks the data
// directory, installs the report sink first of all, opens the window (or runs
// headless), initialises the Demo and runs the main loop.
#pragma once

#include "app/demo.h"
#include "app/frame_pacer.h"
#include "app/options.h"
#include "app/run_modes.h"

namespace platform {
class Window;
}

// Runs the demo described by options with the given loading phase (the scene
// sequencer; null runs the dispatcher with nothing to load). Returns the exit code.
int RunVelmoor(const RunOptions& options, LoadingSequence* sequence);

// The idle-driven loop: pending events first, one frame whenever none is waiting.
// Keys act on the show as show_keys.h says (Escape stops the demo), and
// closing the window stops it too; a run given an end time (Demo::setEndTime)
// stops before its first frame past it. A quit request ends the loop at
// once and returns its code without Demo::shutdown(). Otherwise returns 0 after
// Demo::shutdown() (1 when the observer says the run failed). The observer, if
// any, sees every frame and its duration. A real-time run on a window is paced
// to the display by `pacer` (null: one on the steady clock) after every frame
// that presented.
int RunMainLoop(Demo& demo, platform::Window* window, FrameObserver* observer = nullptr,
                FramePacer* pacer = nullptr);
