#include "app/show_keys.h"

#include "app/demo.h"
#include "platform/window.h"

ShowAction ActionForKey(int virtualKey) {
    switch (virtualKey) {
        case platform::VK_ESCAPE: return ShowAction::Stop;
        case platform::VK_SPACE: return ShowAction::TogglePause;
        case platform::VK_PRIOR: return ShowAction::Back;
        case platform::VK_NEXT: return ShowAction::Forward;
        case platform::VK_HOME: return ShowAction::Restart;
        case platform::VK_F1: return ShowAction::ToggleStats;
        default: return ShowAction::None;
    }
}

void ApplyShowAction(Demo& demo, ShowAction action) {
    switch (action) {
        case ShowAction::None: break;
        case ShowAction::Stop: demo.stop(); break;
        case ShowAction::TogglePause: demo.setPaused(!demo.paused()); break;
        case ShowAction::Back: demo.seekTo(demo.showTime() - kSeekStepSeconds); break;
        case ShowAction::Forward: demo.seekTo(demo.showTime() + kSeekStepSeconds); break;
        case ShowAction::Restart: demo.seekTo(0); break;
        case ShowAction::ToggleStats: demo.toggleStats(); break;
    }
}
