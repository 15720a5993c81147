// What the keys of a real-time run do to the show: Escape ends it, Space pauses
// and resumes, Page Up and Page Down go back and on by five seconds, Home goes
// back to the first script, F1 shows or hides the stats overlay. The arrows and
// Insert are left to the scripts, which read them as held keys to choose cameras.
#pragma once

class Demo;

enum class ShowAction { None, Stop, TogglePause, Back, Forward, Restart, ToggleStats };

// Seconds Page Up and Page Down move the show by.
inline constexpr float kSeekStepSeconds = 5.0f;

// The action of a key going down (a platform::VirtualKey), None for keys the show leaves alone.
ShowAction ActionForKey(int virtualKey);
// Does it to the demo.
void ApplyShowAction(Demo& demo, ShowAction action);
