// A song described in code: tempo, key, and a list of sections, each a number
// of bars with chords and step patterns for the instruments that play in it.
// ScheduleNotes turns it into timed note events; the timing functions give the
// times of beats, bars, sections and drum hits, so a demo's flash lists and
// scene lengths can follow the music exactly.
//
// Patterns (one bar = beatsPerBar × stepsPerBeat steps, 16 in 4/4; a pattern
// may hold several bars and is cycled over the section; Lane::lastBar replaces
// it in the section's final bar, for fills):
//   drums   one character per step: '.' rest, 'x' hit, 'X' accented hit (counted
//           by AccentTimes), 'o' ghost (soft) hit. Spaces and '|' are ignored.
//   bass    space-separated tokens per step: '.' rest, '-' hold the previous
//           note one more step, 'R' chord root, 'O' root an octave up, '3' the
//           chord's second tone, '5' its third tone, '7' its fourth (else the
//           octave); '|' between bars is ignored.
//   arp     tokens: '.', '-', or a chord-tone index k (0 root, 1, 2, ... up
//           through the chord and its octaves).
//   lead    tokens: '.', '-', or a scale degree of the song's key (0 tonic,
//           7 the octave, negative below), with an optional '#' or 'b'.
//   chords  chord symbols, one per bar, cycled: root A–G with '#' or 'b', then
//           "" major, "m", "7", "m7", "maj7", "sus2", "sus4", "add9", "madd9",
//           "dim", "5"; e.g. "Am F C G".
// The pad holds each bar's chord (repeated chords are held on).
//
// One tempo and one metre for the whole song: no tempo or time-signature
// changes, no per-note velocities beyond the drum marks and lane levels.
//
// Times are seconds from the start of the song; swing delays every odd step by
// swing × one step (beats and bars stay on the grid).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace music {

enum class Instrument { Kick, Snare, Clap, ClosedHat, OpenHat, Crash, Bass, Pad, Arp, Lead, Riser, Count };

const char* InstrumentName(Instrument instrument);

struct Lane {
    std::string pattern;  // empty: silent
    std::string lastBar;  // replaces the pattern in the section's last bar
    float level = 1;
};

struct Section {
    std::string name;
    int bars = 8;
    std::string chords = "Am";
    Lane kick, snare, clap, closedHat, openHat;
    Lane bass, arp, lead;
    float pad = 0;        // pad level; 0: no pad
    bool crash = false;   // crash cymbal (an accent) on the first beat
    bool riser = false;   // noise sweep over the last two bars into the next section
    // Filter brightness of bass, pad, arp and lead, 0 (dark) to 1, moving
    // linearly from the start to the end of the section.
    float brightnessStart = 0.7f;
    float brightnessEnd = 0.7f;
};

struct Song {
    double bpm = 128;
    int beatsPerBar = 4;
    int stepsPerBeat = 4;
    int key = 69;                                  // MIDI note of the lead's tonic (69 = A4)
    std::vector<int> scale{0, 2, 3, 5, 7, 8, 10};  // natural minor
    float swing = 0;                               // 0–0.5 of a step
    uint32_t seed = 1;                             // humanising and noise
    std::vector<Section> sections;
};

struct NoteEvent {
    Instrument instrument = Instrument::Kick;
    double time = 0;      // seconds
    double duration = 0;  // seconds the note is held (drums: 0)
    std::vector<int> notes;  // MIDI notes (the pad: the whole chord)
    float velocity = 1;
    float brightness = 0.7f;
    bool accent = false;
    int section = 0;
};

// Checks every pattern and chord; false with a message naming the section and
// lane for the first problem.
bool CheckSong(const Song& song, std::string* error = nullptr);

// Every note of the song, sorted by time (stable in instrument order). Empty for
// a song that CheckSong refuses.
std::vector<NoteEvent> ScheduleNotes(const Song& song);

double BeatDuration(const Song& song);  // 60 / bpm
double BarDuration(const Song& song);
double StepDuration(const Song& song);
int TotalBars(const Song& song);
double SongDuration(const Song& song);  // total bars × beats per bar × 60 / bpm
double SectionStart(const Song& song, int section);
double SectionDuration(const Song& song, int section);

std::vector<double> BeatTimes(const Song& song);
std::vector<double> BarTimes(const Song& song);
std::vector<double> SectionStarts(const Song& song);
// Start times of every hit or note of one instrument, ascending, no repeats.
std::vector<double> HitTimes(const Song& song, Instrument instrument);
// Accented drum hits ('X') and crashes, ascending, no repeats.
std::vector<double> AccentTimes(const Song& song);
// The times inside section i, made relative to its start (scene time, when the
// section plays with one scene).
std::vector<double> InSection(const Song& song, const std::vector<double>& times, int section);

}  // namespace music
