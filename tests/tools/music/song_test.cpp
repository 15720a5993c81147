// Song descriptions: pattern parsing, note scheduling (times, holds, chords,
// fills, swing) and the timing lists a demo's configuration is built from.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/music/example_song.h"
#include "tools/music/song.h"

using namespace music;

namespace {

Song TwoSectionSong() {
    Song song;
    song.bpm = 120;  // beat 0.5 s, step 0.125 s, bar 2 s
    Section a;
    a.name = "a";
    a.bars = 2;
    a.chords = "Am C";
    a.kick = {"X...x...x...x...", "", 1};
    a.snare = {"....x.......x...", "x.x.x.x.xxxxXXXX", 1};
    a.bass = {"R - - - . . O . 3 . 5 . . 7 - -", "", 1};
    a.pad = 0.5f;
    Section b;
    b.name = "b";
    b.bars = 3;
    b.chords = "F F G";
    b.crash = true;
    b.lead = {"0 - - - - - - - - - - - - - - - | - - - - 7 . -1 . 2# . . . . . . .", "", 1};
    b.arp = {"0 1 2 3 4 5 . . . . . . . . . .", "", 1};
    b.pad = 1;
    b.riser = true;
    song.sections = {a, b};
    return song;
}

std::vector<NoteEvent> Of(const std::vector<NoteEvent>& events, Instrument instrument) {
    std::vector<NoteEvent> out;
    for (const NoteEvent& e : events)
        if (e.instrument == instrument) out.push_back(e);
    return out;
}

}  // namespace

TEST(Song, DurationsAndTimingLists) {
    const Song song = TwoSectionSong();
    EXPECT_EQ(TotalBars(song), 5);
    EXPECT_DOUBLE_EQ(SongDuration(song), 5 * 4 * 60.0 / 120);
    EXPECT_DOUBLE_EQ(SectionStart(song, 1), 4.0);
    EXPECT_DOUBLE_EQ(SectionDuration(song, 1), 6.0);
    EXPECT_DOUBLE_EQ(SectionDuration(song, 7), 0.0);

    const std::vector<double> beats = BeatTimes(song);
    ASSERT_EQ(beats.size(), 20u);
    EXPECT_DOUBLE_EQ(beats[1], 0.5);
    EXPECT_DOUBLE_EQ(beats.back(), 9.5);
    EXPECT_EQ(BarTimes(song), (std::vector<double>{0, 2, 4, 6, 8}));
    EXPECT_EQ(SectionStarts(song), (std::vector<double>{0, 4}));
    // Section-relative times for a scene that starts with section 1.
    EXPECT_EQ(InSection(song, BarTimes(song), 1), (std::vector<double>{0, 2, 4}));

    // At 130 BPM the step is not a binary fraction; a section's first hit is
    // still exactly the section's start.
    Song odd = song;
    odd.bpm = 130;
    odd.sections[1].kick = {"x...............", "", 1};
    const std::vector<double> kicks = InSection(odd, HitTimes(odd, Instrument::Kick), 1);
    ASSERT_FALSE(kicks.empty());
    EXPECT_EQ(kicks[0], 0.0);
}

TEST(Song, DrumHitsAccentsFillsAndSwing) {
    Song song = TwoSectionSong();
    const std::vector<double> kicks = HitTimes(song, Instrument::Kick);
    EXPECT_EQ(kicks, (std::vector<double>{0, 0.5, 1, 1.5, 2, 2.5, 3, 3.5}));
    // Bar 0 plays the pattern, bar 1 (the last) the fill.
    const std::vector<double> snares = HitTimes(song, Instrument::Snare);
    ASSERT_EQ(snares.size(), 2u + 12u);
    EXPECT_DOUBLE_EQ(snares[0], 0.5);
    EXPECT_DOUBLE_EQ(snares[2], 2.0);
    // Accents: each bar's first kick, the four 'X' of the fill, the crash of section 1.
    EXPECT_EQ(AccentTimes(song), (std::vector<double>{0, 2, 3.5, 3.625, 3.75, 3.875, 4}));

    song.swing = 0.5f;
    const std::vector<double> swung = HitTimes(song, Instrument::Snare);
    EXPECT_DOUBLE_EQ(swung[2], 2.0);                  // even step: on the grid
    EXPECT_DOUBLE_EQ(swung.back(), 3.875 + 0.0625);  // odd step: half a step late
    EXPECT_EQ(BeatTimes(song)[1], 0.5);              // beats stay on the grid
}

TEST(Song, MelodicNotesHoldAndFollowTheChords) {
    const std::vector<NoteEvent> events = ScheduleNotes(TwoSectionSong());
    const std::vector<NoteEvent> bass = Of(events, Instrument::Bass);
    // Per bar: R held 4 steps, O, 3, 5, 7 held 3 steps to the bar's end.
    ASSERT_EQ(bass.size(), 10u);
    EXPECT_EQ(bass[0].notes[0], 33);  // A1 under Am
    EXPECT_DOUBLE_EQ(bass[0].duration, 0.5);
    EXPECT_EQ(bass[1].notes[0], 45);  // octave
    EXPECT_EQ(bass[2].notes[0], 36);  // C, the third of Am
    EXPECT_EQ(bass[3].notes[0], 40);  // E, its fifth
    EXPECT_EQ(bass[4].notes[0], 45);  // a triad has no fourth tone: the octave
    EXPECT_DOUBLE_EQ(bass[4].duration, 0.375);
    EXPECT_EQ(bass[5].notes[0], 36);  // C under C in bar 1

    const std::vector<NoteEvent> lead = Of(events, Instrument::Lead);
    ASSERT_EQ(lead.size(), 5u);
    // Held across the bar line, for 20 steps.
    EXPECT_DOUBLE_EQ(lead[0].time, 4.0);
    EXPECT_DOUBLE_EQ(lead[0].duration, 20 * 0.125);
    EXPECT_EQ(lead[0].notes[0], 69);  // degree 0 of A minor in A4
    EXPECT_EQ(lead[1].notes[0], 81);
    EXPECT_EQ(lead[2].notes[0], 67);  // degree −1: G below
    EXPECT_EQ(lead[3].notes[0], 73);  // degree 2 (C) raised
    // The third bar of the section repeats the pattern's first, held to the end.
    EXPECT_DOUBLE_EQ(lead[4].time, 8.0);
    EXPECT_DOUBLE_EQ(lead[4].duration, 2.0);

    const std::vector<NoteEvent> arp = Of(events, Instrument::Arp);
    ASSERT_EQ(arp.size(), 6u * 3u);
    // F chord from F4 up: F A C, then an octave up.
    EXPECT_EQ(arp[0].notes[0], 65);
    EXPECT_EQ(arp[3].notes[0], 77);
    EXPECT_EQ(arp[5].notes[0], 84);

    // Pads: Am, C, then F held two bars, then G.
    const std::vector<NoteEvent> pads = Of(events, Instrument::Pad);
    ASSERT_EQ(pads.size(), 4u);
    EXPECT_DOUBLE_EQ(pads[2].duration, 4.0);
    EXPECT_EQ(pads[0].notes, (std::vector<int>{57, 60, 64, 69}));
    EXPECT_FLOAT_EQ(pads[0].velocity, 0.5f);

    const std::vector<NoteEvent> riser = Of(events, Instrument::Riser);
    ASSERT_EQ(riser.size(), 1u);
    EXPECT_DOUBLE_EQ(riser[0].time + riser[0].duration, 10.0);

    for (size_t i = 1; i < events.size(); ++i) EXPECT_LE(events[i - 1].time, events[i].time);
}

TEST(Song, BadPatternsAreRefusedWithTheirPlace) {
    auto refused = [](Song song, const char* part) {
        std::string error;
        EXPECT_FALSE(CheckSong(song, &error));
        EXPECT_NE(error.find(part), std::string::npos) << error;
        EXPECT_TRUE(ScheduleNotes(song).empty());
    };
    Song song = TwoSectionSong();
    song.sections[1].chords = "F Hm";
    refused(song, "unknown chord \"Hm\"");
    song = TwoSectionSong();
    song.sections[0].kick.pattern = "x...x...x...x..";
    refused(song, "kick: 15 steps");
    song = TwoSectionSong();
    song.sections[1].lead.pattern = "0 - q - - - - - - - - - - - - -";
    refused(song, "section 1 \"b\": lead");
    song = TwoSectionSong();
    song.sections[0].bass.lastBar = "R R";
    refused(song, "bass last bar");
    song = TwoSectionSong();
    song.sections[0].bars = 0;
    refused(song, "at least one bar");
    song = TwoSectionSong();
    song.bpm = 0;
    refused(song, "tempo");

    std::string error;
    EXPECT_TRUE(CheckSong(ExampleSong(), &error)) << error;
    EXPECT_EQ(ExampleSong().sections.size(), 10u);
}
