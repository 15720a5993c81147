// The display-mode selection that the render context is created with: a table
// of drivers with their devices and display modes, the selected driver and mode,
// the full-screen flag and the hardware level.
//
// Process-wide, as the display is: written at start-up before the context is
// made, read by the context (size, full screen, software or hardware raster).
// Nothing in the program enumerates drivers: start-up selects 640 x 480 x 32
// directly, so the table holds only the mode SelectMode writes. The table stays
// for code that wants to offer a choice of drivers and modes (an enumeration
// of the GL device's outputs would fill it); the demo itself never needs one.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ZK3D {

struct DisplayMode {
    int32_t width = 0;
    int32_t height = 0;
    int32_t bitsPerPixel = 0;
    int32_t refreshRate = 0;
};

struct DeviceInfo {
    std::string description;
    std::string name;
    std::array<uint8_t, 236> desc{};  // the device's capability record, as reported
};

struct DriverInfo {
    static constexpr int kMaxDevices = 10;
    static constexpr int kMaxModes = 100;

    std::optional<std::array<uint8_t, 16>> guid;  // absent for the primary display driver
    std::string name;
    std::string description;
    std::vector<DeviceInfo> devices;               // at most kMaxDevices
    std::array<DisplayMode, kMaxModes> modes{};
    int modeCount = 0;
    int selectedMode = 0;
    int selectedDevice = 0;
};

constexpr int kMaxDrivers = 20;

// Hardware levels: 1 software rasteriser, 2 (the default) the hardware driver.
constexpr int kHardwareLevelSoftware = 1;
constexpr int kHardwareLevelHardware = 2;

// The first mode of the selected driver whose width, height and bits are equal
// (and, when refresh is non-zero, whose refresh rate is equal) becomes selected.
// Without a match, mode 0 is overwritten with the requested values (the mode
// count does not change) and selected.
void SelectMode(int32_t width, int32_t height, int32_t bits, int32_t refresh);
// The selected mode of the selected driver.
const DisplayMode& SelectedMode();
void SetFullScreen(bool fullScreen);
bool FullScreen();
// Hardware level 1: the context is made on the software rasteriser.
void SetSoftwareRasterizer();
int HardwareLevel();

// The driver table, for code that fills it from an enumeration.
int DriverCount();
DriverInfo& Driver(int index);  // index 0 ... kMaxDrivers - 1
int SelectedDriver();
// Appends a mode to the selected driver; false when its table is full.
bool AddDisplayMode(const DisplayMode& mode);

// Back to the start-up state: empty table, driver 0, windowed, hardware level 2.
void ResetModeSelection();

}  // namespace ZK3D
