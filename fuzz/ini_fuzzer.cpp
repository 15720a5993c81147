// The configuration file (vlm.ini): asked for keys of every kind the demo reads
// (texts cut to small and full buffers, integers, floats, float lists split by
// parseFloatList), and the number parsers run over the whole file as one text.
#include <cstdlib>
#include <string>

#include "demo/ini_file.h"
#include "fuzz/rig.h"

namespace {

struct Lookup {
    const char* section;
    const char* key;
};

// Keys the demo reads, one or two of each section and kind.
constexpr Lookup kTexts[] = {
    {"Loading", "scene"}, {"Scenes", "scene3_zksfile"}, {"Music", "filename"}, {"Greetings", "greetings_text1"},
    {"Space", "credits_text_up01"},
};
constexpr Lookup kInts[] = {{"General", "fullscreen"}, {"Loading", "numscenes"}, {"Loading", "step_scene0"}};
constexpr Lookup kFloats[] = {{"Jungle", "flash_in"}, {"Lake", "present_seq1"}, {"Temple", "openningduration"}};
constexpr Lookup kLists[] = {{"Jungle", "syncfx_runaway"}, {"Earth", "syncfx_flash"}};

void ParseList(char* text) {
    float values[kFloatListCapacity];
    int count = -1;
    parseFloatList(text, values, count);
    if (count < 0 || count > kFloatListCapacity) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const IniFile ini(fuzzing::WriteInput("vlm.ini", data, size));
    char text[IniFile::kValueBufferSize];
    // Each file read is a lookup's main cost: every text key is read once, at
    // a buffer size of its own.
    constexpr int kRooms[] = {1, 2, 8, IniFile::kValueBufferSize};
    int k = 0;
    for (const Lookup& l : kTexts) {
        const int room = kRooms[k++ % 4];
        const int n = ini.getString(l.section, l.key, text, "default", room);
        if (n < 0 || n >= room) std::abort();
    }
    int i = 0;
    for (const Lookup& l : kInts) ini.getInt(l.section, l.key, i, 7);
    float f = 0;
    for (const Lookup& l : kFloats) ini.getFloat(l.section, l.key, f, 1.0f);
    for (const Lookup& l : kLists) {
        ini.getString(l.section, l.key, text, "");
        ParseList(text);
    }

    std::string whole(reinterpret_cast<const char*>(data), size);
    ParseInt(whole.c_str());
    ParseList(whole.data());
    return 0;
}
