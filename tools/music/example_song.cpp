// The soundtrack. Lead lines are scale degrees of A minor (0 = A3, 7 = A4);
// strong beats land on chord tones. Patterns are written one bar per line.
#include "tools/music/example_song.h"

#include "tools/music/grooves.h"

namespace music {
namespace {

using namespace grooves;

// The main theme over Am F C G: a call (first four bars) and its answer.
constexpr const char* kThemeMain =
    "11 - - 9 - - 7 - - - 9 - 11 - 12 - |"
    "12 - - 11 - - 9 - - - - - 7 - 9 - |"
    "11 - - 9 - - 6 - - - 9 - 11 - 13 - |"
    "13 - - 12 - - 10 - - - 8 - - - - - |"
    "9 - - 11 - - 12 - 11 - 9 - 7 - - - |"
    "7 - - 9 - - 12 - 11 - 9 - 5 - - - |"
    "6 - - 9 - - 11 - 13 - 11 - 9 - - - |"
    "8 - - 10 - - 13 - - - 12 - 11 - 10 -";

// Breakdown over F G Em Am: long notes falling to the tonic.
constexpr const char* kThemeBreak =
    "12 - - - 11 - - - 9 - - - 7 - - - |"
    "13 - - - 11 - - - 10 - - - 8 - - - |"
    "11 - - - 13 - - - 14 - - - 13 - - - |"
    "11 - - - - - - - 9 - - - 7 - - -";

// Temple over Dm Dm Am Am F G Am Am.
constexpr const char* kThemeTemple =
    "10 - - 12 - - 14 - 12 - 10 - 9 - 7 - |"
    "10 - - - - - - - . . 12 - 14 - 15 - |"
    "14 - - 13 - - 11 - 9 - 11 - 14 - - - |"
    "11 - - - - - - - . . . . . . . . |"
    "12 - - 11 - - 9 - - - - - 7 - 9 - |"
    "13 - - 12 - - 10 - - - 8 - - - - - |"
    "11 - - 9 - - 7 - - - 9 - 11 - 12 - |"
    "11 - - - - - - - . . . . . . . .";

// Space over Fmaj7 G Em7 Am: sparse and high.
constexpr const char* kThemeSpace =
    "11 - - - - - - - 9 - - - - - - - |"
    "10 - - - - - - - 8 - - - 6 - - - |"
    "11 - - - 10 - - - 8 - - - 6 - - - |"
    "7 - - - - - - - - - - - . . . .";

Lane L(const char* pattern, float level = 1, const char* lastBar = "") { return Lane{pattern, lastBar, level}; }

}  // namespace

Song ExampleSong() {
    Song song;
    song.bpm = 128;
    song.key = 57;  // A3
    song.swing = 0.04f;
    song.seed = 0x5EED1E;

    Section intro;
    intro.name = "intro";
    intro.bars = 8;
    intro.chords = "Am F C G";
    intro.pad = 0.8f;
    intro.arp = L(kArpSlow, 0.6f);
    intro.closedHat = L("........x.......", 0.35f);
    intro.riser = true;
    intro.brightnessStart = 0.15f;
    intro.brightnessEnd = 0.55f;
    song.sections.push_back(intro);

    Section groove;
    groove.name = "groove";
    groove.bars = 16;
    groove.chords = "Am F C G";
    groove.crash = true;
    groove.kick = L(kFourAccented);
    groove.clap = L(kBackbeat, 0.9f);
    groove.closedHat = L(kSixteenthHats, 0.8f);
    groove.openHat = L(kOffbeatHats, 0.7f);
    groove.snare = L("", 0.7f, kSnareRoll);
    groove.bass = L(kBassOffbeat);
    groove.arp = L(kArpGate, 0.7f);
    groove.pad = 0.5f;
    groove.brightnessStart = 0.5f;
    groove.brightnessEnd = 0.75f;
    song.sections.push_back(groove);

    Section breakdown;
    breakdown.name = "breakdown";
    breakdown.bars = 8;
    breakdown.chords = "F G Em Am";
    breakdown.pad = 1.0f;
    breakdown.lead = L(kThemeBreak, 0.8f);
    breakdown.bass = L(kBassLong, 0.6f);
    breakdown.closedHat = L(kOffbeatHats, 0.45f);
    breakdown.riser = true;
    breakdown.brightnessStart = 0.4f;
    breakdown.brightnessEnd = 0.8f;
    song.sections.push_back(breakdown);

    Section drop;
    drop.name = "drop";
    drop.bars = 16;
    drop.chords = "Am F C G";
    drop.crash = true;
    drop.kick = L(kFourAccented);
    drop.clap = L(kBackbeat);
    drop.closedHat = L(kSixteenthHats, 0.8f);
    drop.openHat = L(kOffbeatHats, 0.7f);
    drop.snare = L("", 0.7f, kSnareRoll);
    drop.bass = L(kBassRolling);
    drop.lead = L(kThemeMain);
    drop.arp = L(kArpUpDown, 0.45f);
    drop.pad = 0.6f;
    drop.brightnessStart = 0.85f;
    drop.brightnessEnd = 1.0f;
    song.sections.push_back(drop);

    Section temple;
    temple.name = "temple";
    temple.bars = 16;
    temple.chords = "Dm Dm Am Am F G Am Am";
    temple.crash = true;
    temple.kick = L("X.....x...x.x...");
    temple.snare = L("....x.......x..o", 0.9f);
    temple.closedHat = L("x.xxx.xxx.xxx.xx", 0.7f);
    temple.bass = L(kBassDotted);
    temple.arp = L(kArpFast, 0.45f);
    temple.lead = L(kThemeTemple, 0.9f);
    temple.pad = 0.5f;
    temple.brightnessStart = 0.55f;
    temple.brightnessEnd = 0.8f;
    song.sections.push_back(temple);

    Section space;
    space.name = "space";
    space.bars = 16;
    space.chords = "Fmaj7 G Em7 Am";
    space.crash = true;
    space.kick = L("X.........x.....", 0.7f);
    space.snare = L("........x.......", 0.6f);
    space.closedHat = L(kOffbeatHats, 0.5f);
    space.bass = L(kBassLong, 0.7f);
    space.arp = L(kArpSlow, 0.7f);
    space.lead = L(kThemeSpace, 0.6f);
    space.pad = 1.0f;
    space.brightnessStart = 0.3f;
    space.brightnessEnd = 0.6f;
    song.sections.push_back(space);

    Section build;
    build.name = "build";
    build.bars = 12;
    build.chords = "Am F C G";
    build.kick = L(kFourOnFloor);
    build.closedHat = L(kSixteenthHats, 0.7f);
    build.snare = L("", 0.8f, kSnareRoll);
    build.bass = L(kBassOffbeat);
    build.arp = L(kArpGate, 0.8f);
    build.pad = 0.6f;
    build.riser = true;
    build.brightnessStart = 0.3f;
    build.brightnessEnd = 1.0f;
    song.sections.push_back(build);

    Section chip;
    chip.name = "chip";
    chip.bars = 16;
    chip.chords = "Am F C G";
    chip.crash = true;
    chip.kick = L(kFourAccented);
    chip.clap = L(kBackbeat);
    chip.closedHat = L(kSixteenthHats, 0.8f);
    chip.openHat = L(kOffbeatHats, 0.7f);
    chip.bass = L(kBassDrive);
    chip.arp = L(kArpFast, 0.8f);
    chip.lead = L(kThemeMain, 0.75f);
    chip.pad = 0.4f;
    chip.brightnessStart = 0.9f;
    chip.brightnessEnd = 0.9f;
    song.sections.push_back(chip);

    Section stomp;
    stomp.name = "stomp";
    stomp.bars = 8;
    stomp.chords = "Am F Dm E";
    stomp.crash = true;
    stomp.kick = L("X.....X.X.....x.");
    stomp.clap = L("....X.......X...");
    stomp.openHat = L(kOffbeatHats, 0.5f);
    stomp.bass = L(kBassStab);
    stomp.pad = 0.7f;
    stomp.riser = true;
    stomp.brightnessStart = 0.6f;
    stomp.brightnessEnd = 0.85f;
    song.sections.push_back(stomp);

    Section finale;
    finale.name = "finale";
    finale.bars = 16;
    // Ends on the tonic: the last four bars turn F C Am.
    finale.chords = "Am F C G Am F C G Am F C G Am F C Am";
    finale.crash = true;
    finale.kick = L(kFourAccented, 1, "X...............");
    finale.clap = L(kBackbeat, 0.9f, "................");
    finale.closedHat = L(kSixteenthHats, 0.7f, "................");
    finale.openHat = L(kOffbeatHats, 0.6f, "................");
    finale.bass = L(kBassOffbeat, 1, "R - - - - - - - - - - - - - - -");
    finale.lead = L(kThemeMain, 1, "7 - - - - - - - - - - - - - - -");
    finale.arp = L(kArpUpDown, 0.5f);
    finale.pad = 0.7f;
    finale.brightnessStart = 0.9f;
    finale.brightnessEnd = 0.25f;
    song.sections.push_back(finale);
    return song;
}

}  // namespace music
