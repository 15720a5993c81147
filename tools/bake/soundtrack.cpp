// The arrangement. Lead lines are scale degrees of A minor (0 = A3, 7 = A4),
// one bar of sixteen steps per line; strong beats sit on chord tones.
#include "tools/bake/soundtrack.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "tools/music/grooves.h"

namespace bake {
namespace {

using music::Lane;
using music::Section;
using namespace music::grooves;

Lane L(const char* pattern, float level = 1, const char* lastBar = "") { return Lane{pattern, lastBar, level}; }

// Grooves of this show beside the stock ones: drums, then bass.
constexpr const char* kKickBar = "X...x...x...x...";                   // accent on every bar
constexpr const char* kKickHalf = "X.......x.......";
constexpr const char* kKickBuild = "X...x...X...x...";  // accents on 1 and 3
constexpr const char* kHatsSparse = "........x.......";
constexpr const char* kRollLong = "x.x.x.x.xxxxxxxx";
constexpr const char* kBassChip = "R O R O R O R O R O R O 5 O 5 O";

// The main theme over Am F C G: a call and its answer.
constexpr const char* kThemeMain =
    "11 - - 9 - - 7 - 9 - 11 - 14 - 11 - |"
    "12 - - 11 - - 9 - - - 7 - 9 - - - |"
    "11 - - 9 - - 11 - 13 - - - 11 - 9 - |"
    "10 - - - 8 - - - 6 - - - . . . . |"
    "11 - - 9 - - 7 - 9 - 11 - 14 - 11 - |"
    "12 - - 14 - - 12 - 11 - 9 - 7 - - - |"
    "9 - - 11 - - 13 - 11 - 9 - 6 - - - |"
    "8 - - 10 - - 13 - - - 10 - 8 - - -";

// The forest's airy line over F G C Am.
constexpr const char* kThemeForest =
    "12 - - - - - - - 11 - - - 9 - - - |"
    "10 - - - - - - - 13 - - - 12 - - - |"
    "11 - - - 9 - - - 11 - - - 13 - - - |"
    "14 - - - - - - - - - - - . . . .";

// The temple over Dm Dm Am Am F G Am Am.
constexpr const char* kThemeTemple =
    "7 - 10 - 12 - 10 - 14 - - - 12 - 10 - |"
    "12 - - - 10 - - - 7 - - - . . . . |"
    "9 - 11 - 14 - 11 - 16 - - - 14 - 11 - |"
    "14 - - - 11 - - - 9 - - - . . . . |"
    "12 - 14 - 16 - 14 - 12 - - - 9 - - - |"
    "13 - - - 10 - - - 8 - 10 - 13 - - - |"
    "11 - 9 - 7 - 9 - 11 - - - 14 - - - |"
    "14 - - - - - - - . . . . . . . .";

// Space over Fmaj7 G Em7 Am: sparse and high.
constexpr const char* kThemeSpace =
    "12 - - - - - - - 11 - - - - - - - |"
    "10 - - - - - - - 13 - - - 12 - - - |"
    "11 - - - - - - - 9 - - - 8 - - - |"
    "7 - - - - - - - - - - - . . . .";

// The computer's chip line over Am F C G.
constexpr const char* kThemeChip =
    "14 . 11 . 14 . 16 . 14 . 11 . 9 . 11 . |"
    "12 . 9 . 12 . 14 . 12 . 9 . 7 . 9 . |"
    "13 . 11 . 13 . 16 . 13 . 11 . 9 . 11 . |"
    "13 . 10 . 13 . 15 . 13 . 10 . 8 . 10 .";

// The dinosaur's call over Am F Dm E.
constexpr const char* kThemeStomp =
    "7 - - - - - 9 - 11 - - - - - - - |"
    "12 - - - 11 - 9 - - - - - - - - - |"
    "10 - - - - - 12 - 14 - - - 12 - 10 - |"
    "11 - - - - - - - 8 - - - 6# - - -";

Section Make(const char* name, int bars, const char* chords) {
    Section s;
    s.name = name;
    s.bars = bars;
    s.chords = chords;
    return s;
}

}  // namespace

music::Song ShowSong(const ShowPlan& plan) {
    music::Song song;
    song.bpm = plan.bpm;
    song.beatsPerBar = plan.beatsPerBar;
    song.key = 57;  // A3
    song.swing = 0.03f;
    song.seed = 0x7E1A0C;
    auto bars = [&](int script) { return plan.bars[size_t(script)]; };

    // Jungle: half ambient intro, half run.
    {
        const int intro = bars(kJungle) / 2;
        Section s = Make("jungle-intro", intro, "Am F C G");
        s.pad = 0.8f;
        s.arp = L(kArpSlow, 0.6f);
        s.closedHat = L(kHatsSparse, 0.35f);
        s.kick = L("", 0.6f, "x...x...x...xxxx");
        s.riser = true;
        s.brightnessStart = 0.15f;
        s.brightnessEnd = 0.6f;
        song.sections.push_back(s);

        Section r = Make("jungle-run", bars(kJungle) - intro, "Am F C G");
        r.crash = true;
        r.kick = L(kKickBar);
        r.clap = L(kBackbeat, 0.9f);
        r.closedHat = L(kSixteenthHats, 0.8f);
        r.openHat = L(kOffbeatHats, 0.6f);
        r.snare = L("", 0.7f, kSnareRoll);
        r.bass = L(kBassRolling);
        r.arp = L(kArpGate, 0.7f);
        r.pad = 0.5f;
        r.brightnessStart = 0.55f;
        r.brightnessEnd = 0.8f;
        song.sections.push_back(r);
    }

    // Cavern and its two forest interludes.
    {
        const int cavernOwn = bars(kCavern) - plan.forest1Bars - plan.forest2Bars;
        Section a = Make("cavern-a", plan.cavernCut1, "Am Am Em Em");
        a.crash = true;
        a.kick = L(kKickHalf, 0.9f);
        a.closedHat = L(kOffbeatHats, 0.4f);
        a.bass = L(kBassLong, 0.8f);
        a.arp = L(kArpSlow, 0.35f);
        a.pad = 0.7f;
        a.riser = true;
        a.brightnessStart = 0.2f;
        a.brightnessEnd = 0.35f;
        song.sections.push_back(a);

        Section f1 = Make("forest-1", plan.forest1Bars, "F G C Am");
        f1.crash = true;
        f1.pad = 1.0f;
        f1.arp = L(kArpUpDown, 0.55f);
        f1.lead = L(kThemeForest, 0.6f);
        f1.closedHat = L(kOffbeatHats, 0.3f);
        f1.brightnessStart = 0.6f;
        f1.brightnessEnd = 0.8f;
        song.sections.push_back(f1);

        Section b = Make("cavern-b", plan.cavernCut2 - plan.cavernCut1, "Am F C G");
        b.crash = true;
        b.kick = L(kKickBar);
        b.clap = L(kBackbeat, 0.8f);
        b.closedHat = L(kSixteenthHats, 0.6f);
        b.bass = L(kBassDrive, 0.9f);
        b.arp = L(kArpGate, 0.5f);
        b.pad = 0.5f;
        b.snare = L("", 0.7f, kSnareRoll);
        b.brightnessStart = 0.35f;
        b.brightnessEnd = 0.6f;
        song.sections.push_back(b);

        Section f2 = Make("forest-2", plan.forest2Bars, "F G C Am");
        f2.pad = 1.0f;
        f2.lead = L(kThemeForest, 0.8f, "14 - - - - - - - - - - - - - - -");
        f2.arp = L(kArpUpDown, 0.5f);
        f2.bass = L(kBassLong, 0.6f);
        f2.closedHat = L(kOffbeatHats, 0.4f);
        f2.riser = true;
        f2.brightnessStart = 0.5f;
        f2.brightnessEnd = 0.85f;
        song.sections.push_back(f2);

        Section c = Make("cavern-c", cavernOwn - plan.cavernCut2, "Am F C G");
        c.crash = true;
        c.kick = L(kKickBar);
        c.clap = L(kBackbeat, 0.9f);
        c.closedHat = L(kSixteenthHats, 0.8f);
        c.openHat = L(kOffbeatHats, 0.6f);
        c.bass = L(kBassRolling);
        c.lead = L(kThemeMain, 0.8f);
        c.arp = L(kArpUpDown, 0.4f);
        c.pad = 0.5f;
        c.snare = L("", 0.7f, kRollLong);
        c.brightnessStart = 0.7f;
        c.brightnessEnd = 0.9f;
        song.sections.push_back(c);
    }

    // Lake: the drop.
    {
        Section s = Make("lake", bars(kLake), "Am F C G");
        s.crash = true;
        s.kick = L(kFourAccented);
        s.clap = L(kBackbeat);
        s.closedHat = L(kSixteenthHats, 0.8f);
        s.openHat = L(kOffbeatHats, 0.7f);
        s.snare = L("", 0.7f, kSnareRoll);
        s.bass = L(kBassRolling);
        s.lead = L(kThemeMain);
        s.arp = L(kArpUpDown, 0.45f);
        s.pad = 0.6f;
        s.brightnessStart = 0.85f;
        s.brightnessEnd = 1.0f;
        song.sections.push_back(s);
    }

    // Temple: D minor, a broken beat.
    {
        Section s = Make("temple", bars(kTemple), "Dm Dm Am Am F G Am Am");
        s.crash = true;
        s.kick = L("X.....x...x.x...");
        s.snare = L("....x.......x..o", 0.9f);
        s.closedHat = L("x.xxx.xxx.xxx.xx", 0.7f);
        s.bass = L(kBassDotted);
        s.arp = L(kArpFast, 0.45f);
        s.lead = L(kThemeTemple, 0.9f);
        s.pad = 0.5f;
        s.riser = true;
        s.brightnessStart = 0.55f;
        s.brightnessEnd = 0.8f;
        song.sections.push_back(s);
    }

    // Space: floating.
    {
        Section s = Make("space", bars(kSpace), "Fmaj7 G Em7 Am");
        s.crash = true;
        s.kick = L("X.........x.....", 0.7f);
        s.snare = L("........x.......", 0.6f);
        s.closedHat = L(kOffbeatHats, 0.5f);
        s.bass = L(kBassLong, 0.7f);
        s.arp = L(kArpSlow, 0.7f);
        s.lead = L(kThemeSpace, 0.6f);
        s.pad = 1.0f;
        s.brightnessStart = 0.3f;
        s.brightnessEnd = 0.6f;
        song.sections.push_back(s);
    }

    // Earth: the build.
    {
        Section s = Make("earth", bars(kEarth), "Am F C G");
        s.kick = L(kKickBuild);
        s.closedHat = L(kSixteenthHats, 0.7f);
        s.snare = L("", 0.8f, kRollLong);
        s.bass = L(kBassOffbeat);
        s.arp = L(kArpGate, 0.8f);
        s.pad = 0.6f;
        s.riser = true;
        s.brightnessStart = 0.3f;
        s.brightnessEnd = 1.0f;
        song.sections.push_back(s);
    }

    // Computer: chip groove.
    {
        Section s = Make("computer", bars(kComputer), "Am F C G");
        s.crash = true;
        s.kick = L(kFourAccented);
        s.clap = L(kBackbeat);
        s.closedHat = L(kSixteenthHats, 0.8f);
        s.bass = L(kBassChip, 0.9f);
        s.arp = L(kArpFast, 0.7f);
        s.lead = L(kThemeChip, 0.6f);
        s.pad = 0.3f;
        s.brightnessStart = 0.9f;
        s.brightnessEnd = 0.9f;
        song.sections.push_back(s);
    }

    // T-Rex: the stomp.
    {
        Section s = Make("trex", bars(kTRex), "Am F Dm E");
        s.crash = true;
        s.kick = L("X.....X.X.....x.");
        s.clap = L("....X.......X...");
        s.openHat = L(kOffbeatHats, 0.5f);
        s.bass = L(kBassStab);
        s.lead = L(kThemeStomp, 0.7f);
        s.pad = 0.7f;
        s.riser = true;
        s.brightnessStart = 0.6f;
        s.brightnessEnd = 0.85f;
        song.sections.push_back(s);
    }

    // Greetings: the finale, then a quiet close on the tonic.
    {
        const int outro = 4;
        Section s = Make("finale", bars(kGreetings) - outro, "Am F C G");
        s.crash = true;
        s.kick = L(kFourAccented);
        s.clap = L(kBackbeat, 0.9f);
        s.closedHat = L(kSixteenthHats, 0.7f);
        s.openHat = L(kOffbeatHats, 0.6f);
        s.snare = L("", 0.7f, kSnareRoll);
        s.bass = L(kBassOffbeat);
        s.lead = L(kThemeMain);
        s.arp = L(kArpUpDown, 0.5f);
        s.pad = 0.7f;
        s.brightnessStart = 0.9f;
        s.brightnessEnd = 0.8f;
        song.sections.push_back(s);

        Section o = Make("outro", outro, "F G Am Am");
        o.crash = true;
        o.kick = L("X...............", 0.8f, "................");
        o.pad = 0.8f;
        o.arp = L(kArpSlow, 0.4f, "0 - - - - - - - - - - - . . . .");
        o.lead = L("9 - - - - - - - 10 - - - - - - - | 11 - - - - - - - - - - - - - - - | "
                   "7 - - - - - - - - - - - - - - - | . . . . . . . . . . . . . . . .",
                   0.7f);
        o.bass = L(kBassLong, 0.7f, ". . . . . . . . . . . . . . . .");
        o.brightnessStart = 0.7f;
        o.brightnessEnd = 0.2f;
        song.sections.push_back(o);
    }

    // A silent coda: the music must outlast the show, or the last scene would
    // wait for a time the stopped music never reaches (each script starts a
    // frame or two after the one before ends, so the show runs a little late).
    Section coda = Make("coda", kCodaBars, "Am");
    coda.brightnessStart = coda.brightnessEnd = 0.2f;
    song.sections.push_back(coda);

    if (std::fabs(music::SongDuration(song) - plan.ShowSeconds() - plan.Bars(kCodaBars)) > 1e-6)
        throw std::runtime_error("the soundtrack's length differs from the show's");
    return song;
}

std::vector<double> SceneTimes(const ShowPlan& plan, const std::vector<double>& times, int script) {
    const double start = plan.SceneStart(script), end = start + plan.SceneSeconds(script);
    std::vector<double> out;
    constexpr double kEpsilon = 1e-9;
    for (double t : times)
        if (t >= start - kEpsilon && t < end - kEpsilon) out.push_back(std::max(0.0, t - start));
    return out;
}

}  // namespace bake
