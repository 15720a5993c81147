// The process-wide driver table and the selected mode, driver, full-screen flag
// and hardware level.
#include "engine/render/mode_selection.h"

#include <algorithm>

namespace ZK3D {

namespace {

struct ModeSelection {
    std::array<DriverInfo, kMaxDrivers> drivers;
    int driverCount = 0;
    int selectedDriver = 0;
    bool fullScreen = false;
    int hardwareLevel = kHardwareLevelHardware;
};

ModeSelection& State() {
    static ModeSelection state;
    return state;
}

}  // namespace

void SelectMode(int32_t width, int32_t height, int32_t bits, int32_t refresh) {
    DriverInfo& driver = State().drivers[State().selectedDriver];
    const int count = std::clamp(driver.modeCount, 0, DriverInfo::kMaxModes);
    for (int i = 0; i < count; ++i) {
        const DisplayMode& m = driver.modes[i];
        if (m.width == width && m.height == height && m.bitsPerPixel == bits &&
            (refresh == 0 || m.refreshRate == refresh)) {
            driver.selectedMode = i;
            return;
        }
    }
    driver.modes[0] = {width, height, bits, refresh};
    driver.selectedMode = 0;
}

const DisplayMode& SelectedMode() {
    const DriverInfo& driver = State().drivers[State().selectedDriver];
    return driver.modes[std::clamp(driver.selectedMode, 0, DriverInfo::kMaxModes - 1)];
}

void SetFullScreen(bool fullScreen) { State().fullScreen = fullScreen; }
bool FullScreen() { return State().fullScreen; }
void SetSoftwareRasterizer() { State().hardwareLevel = kHardwareLevelSoftware; }
int HardwareLevel() { return State().hardwareLevel; }

int DriverCount() { return State().driverCount; }
DriverInfo& Driver(int index) { return State().drivers[std::clamp(index, 0, kMaxDrivers - 1)]; }
int SelectedDriver() { return State().selectedDriver; }

bool AddDisplayMode(const DisplayMode& mode) {
    ModeSelection& s = State();
    DriverInfo& driver = s.drivers[s.selectedDriver];
    if (driver.modeCount >= DriverInfo::kMaxModes) return false;
    driver.modes[driver.modeCount++] = mode;
    s.driverCount = std::max(s.driverCount, s.selectedDriver + 1);
    return true;
}

void ResetModeSelection() { State() = ModeSelection{}; }

}  // namespace ZK3D
