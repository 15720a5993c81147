// Pattern parsing, note scheduling and song timing.
#include "tools/music/song.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <sstream>

namespace music {
namespace {

struct Chord {
    int pitchClass = 9;
    std::vector<int> intervals{0, 3, 7};
};

struct Step {
    enum Kind { Rest, Hold, Note } kind = Rest;
    int value = 0;       // drum: 1 hit, 2 accent, 3 ghost; bass code; arp index; lead degree
    int accidental = 0;  // lead only
};

using Bar = std::vector<Step>;

bool ParseChord(const std::string& symbol, Chord& chord) {
    static const int kRoots[7] = {9, 11, 0, 2, 4, 5, 7};  // A B C D E F G
    if (symbol.empty() || symbol[0] < 'A' || symbol[0] > 'G') return false;
    int pc = kRoots[symbol[0] - 'A'];
    size_t i = 1;
    if (i < symbol.size() && symbol[i] == '#') {
        ++pc;
        ++i;
    } else if (i < symbol.size() && symbol[i] == 'b') {
        --pc;
        ++i;
    }
    const std::string quality = symbol.substr(i);
    const struct {
        const char* name;
        std::vector<int> intervals;
    } qualities[] = {{"", {0, 4, 7}},        {"m", {0, 3, 7}},         {"7", {0, 4, 7, 10}},
                     {"m7", {0, 3, 7, 10}},  {"maj7", {0, 4, 7, 11}},  {"sus2", {0, 2, 7}},
                     {"sus4", {0, 5, 7}},    {"add9", {0, 4, 7, 14}},  {"madd9", {0, 3, 7, 14}},
                     {"dim", {0, 3, 6}},     {"5", {0, 7}}};
    for (const auto& q : qualities)
        if (quality == q.name) {
            chord.pitchClass = (pc + 12) % 12;
            chord.intervals = q.intervals;
            return true;
        }
    return false;
}

// Splits at white space; '|' (a bar line for the reader) separates too.
std::vector<std::string> Words(std::string s) {
    std::replace(s.begin(), s.end(), '|', ' ');
    std::vector<std::string> words;
    std::istringstream in(s);
    std::string w;
    while (in >> w) words.push_back(w);
    return words;
}

enum class LaneKind { Drum, Bass, Arp, Lead };

// Parses one lane into bars of stepsPerBar steps; false with a reason.
bool ParseLane(const std::string& text, LaneKind kind, int stepsPerBar, std::vector<Bar>& bars, std::string& why) {
    bars.clear();
    std::vector<Step> steps;
    if (kind == LaneKind::Drum) {
        for (char c : text) {
            if (c == ' ' || c == '|') continue;
            Step s;
            switch (c) {
            case '.': break;
            case 'x': s = {Step::Note, 1, 0}; break;
            case 'X': s = {Step::Note, 2, 0}; break;
            case 'o': s = {Step::Note, 3, 0}; break;
            default: why = std::string("unknown drum step '") + c + "'"; return false;
            }
            steps.push_back(s);
        }
    } else {
        for (const std::string& w : Words(text)) {
            Step s;
            if (w == ".") {
            } else if (w == "-") {
                s.kind = Step::Hold;
            } else if (kind == LaneKind::Bass) {
                static const std::string kCodes = "RO357";
                if (w.size() != 1 || kCodes.find(w[0]) == std::string::npos) {
                    why = "unknown bass token \"" + w + "\"";
                    return false;
                }
                s = {Step::Note, int(kCodes.find(w[0])), 0};
            } else {
                std::string digits = w;
                int accidental = 0;
                if (kind == LaneKind::Lead && (digits.back() == '#' || digits.back() == 'b')) {
                    accidental = digits.back() == '#' ? 1 : -1;
                    digits.pop_back();
                }
                char* end = nullptr;
                const long v = std::strtol(digits.c_str(), &end, 10);
                if (digits.empty() || *end != 0 || v < -48 || v > 48 || (kind == LaneKind::Arp && v < 0)) {
                    why = "unknown note token \"" + w + "\"";
                    return false;
                }
                s = {Step::Note, int(v), accidental};
            }
            steps.push_back(s);
        }
    }
    if (steps.empty() || steps.size() % size_t(stepsPerBar) != 0) {
        why = std::to_string(steps.size()) + " steps, not a whole number of " + std::to_string(stepsPerBar) +
              "-step bars";
        return false;
    }
    for (size_t i = 0; i < steps.size(); i += size_t(stepsPerBar))
        bars.emplace_back(steps.begin() + long(i), steps.begin() + long(i) + stepsPerBar);
    return true;
}

struct ParsedLane {
    std::vector<Bar> bars;
    std::vector<Bar> last;
    float level = 1;
    bool active() const { return !bars.empty(); }
    const Bar& BarAt(int b, int total) const {
        if (b == total - 1 && !last.empty()) return last[0];
        return bars[size_t(b) % bars.size()];
    }
};

struct ParsedSection {
    std::vector<Chord> chords;
    ParsedLane kick, snare, clap, closedHat, openHat, bass, arp, lead;
};

bool ParseSection(const Song& song, const Section& s, ParsedSection& out, std::string& why) {
    const int stepsPerBar = song.beatsPerBar * song.stepsPerBeat;
    if (s.bars < 1) {
        why = "needs at least one bar";
        return false;
    }
    for (const std::string& symbol : Words(s.chords)) {
        Chord c;
        if (!ParseChord(symbol, c)) {
            why = "unknown chord \"" + symbol + "\"";
            return false;
        }
        out.chords.push_back(c);
    }
    if (out.chords.empty()) {
        why = "no chords";
        return false;
    }
    const struct {
        const char* name;
        const Lane& lane;
        ParsedLane& parsed;
        LaneKind kind;
    } lanes[] = {{"kick", s.kick, out.kick, LaneKind::Drum},
                 {"snare", s.snare, out.snare, LaneKind::Drum},
                 {"clap", s.clap, out.clap, LaneKind::Drum},
                 {"closed hat", s.closedHat, out.closedHat, LaneKind::Drum},
                 {"open hat", s.openHat, out.openHat, LaneKind::Drum},
                 {"bass", s.bass, out.bass, LaneKind::Bass},
                 {"arp", s.arp, out.arp, LaneKind::Arp},
                 {"lead", s.lead, out.lead, LaneKind::Lead}};
    for (const auto& l : lanes) {
        l.parsed.level = l.lane.level;
        const bool hasPattern = l.lane.pattern.find_first_not_of(" |") != std::string::npos;
        const bool hasLast = l.lane.lastBar.find_first_not_of(" |") != std::string::npos;
        if (hasPattern && !ParseLane(l.lane.pattern, l.kind, stepsPerBar, l.parsed.bars, why)) {
            why = std::string(l.name) + ": " + why;
            return false;
        }
        if (hasLast && !ParseLane(l.lane.lastBar, l.kind, stepsPerBar, l.parsed.last, why)) {
            why = std::string(l.name) + " last bar: " + why;
            return false;
        }
        // A last-bar fill alone plays only in the last bar.
        if (!hasPattern && hasLast) l.parsed.bars.assign(1, Bar(size_t(stepsPerBar)));
    }
    return true;
}

bool ParseSong(const Song& song, std::vector<ParsedSection>& out, std::string& why) {
    if (!(song.bpm >= 20 && song.bpm <= 400)) {
        why = "tempo must be 20 to 400 BPM";
        return false;
    }
    if (song.beatsPerBar < 1 || song.beatsPerBar > 16 || song.stepsPerBeat < 1 || song.stepsPerBeat > 16) {
        why = "beats per bar and steps per beat must be 1 to 16";
        return false;
    }
    if (song.scale.empty() || song.scale.size() > 12) {
        why = "the scale needs 1 to 12 notes";
        return false;
    }
    if (!(song.swing >= 0 && song.swing <= 0.5f)) {
        why = "swing must be 0 to 0.5";
        return false;
    }
    out.clear();
    for (size_t i = 0; i < song.sections.size(); ++i) {
        ParsedSection p;
        if (!ParseSection(song, song.sections[i], p, why)) {
            why = "section " + std::to_string(i) + " \"" + song.sections[i].name + "\": " + why;
            return false;
        }
        out.push_back(std::move(p));
    }
    return true;
}

int Wrap12(int v) { return ((v % 12) + 12) % 12; }

// The chord's root in a register: the lowest note of that pitch class at or
// above floor.
int RootAbove(const Chord& c, int floor) { return floor + Wrap12(c.pitchClass - floor); }

int BassNote(const Chord& c, int code) {
    const int root = RootAbove(c, 33);  // A1 .. G#2
    const auto& iv = c.intervals;
    switch (code) {
    case 0: return root;
    case 1: return root + 12;
    case 2: return root + (iv.size() > 1 ? iv[1] : 7);
    case 3: return root + (iv.size() > 2 ? iv[2] : 7);
    default: return root + (iv.size() > 3 ? iv[3] : 12);
    }
}

int ArpNote(const Chord& c, int index) {
    const int base = RootAbove(c, 57);  // A3 .. G#4
    const int n = int(c.intervals.size());
    return base + c.intervals[size_t(index % n)] + 12 * (index / n);
}

int LeadNote(const Song& song, int degree, int accidental) {
    const int n = int(song.scale.size());
    const int octave = degree >= 0 ? degree / n : -((-degree + n - 1) / n);
    const int index = degree - octave * n;
    return song.key + song.scale[size_t(index)] + 12 * octave + accidental;
}

std::vector<int> PadNotes(const Chord& c) {
    const int base = RootAbove(c, 50);  // D3 .. C#4
    std::vector<int> notes;
    for (int iv : c.intervals) notes.push_back(base + iv);
    if (c.intervals.size() < 4) notes.push_back(base + 12);
    return notes;
}

// Deterministic variation in 0–1 for humanising.
float Jitter(uint32_t seed, uint32_t a, uint32_t b) {
    uint32_t h = seed * 0x9E3779B1u ^ a * 0x85EBCA77u ^ b * 0xC2B2AE3Du;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    return float(h >> 8) / 16777216.0f;
}

class Scheduler {
public:
    Scheduler(const Song& song, const std::vector<ParsedSection>& parsed) : song_(song), parsed_(parsed) {}

    std::vector<NoteEvent> Run() {
        int barOffset = 0;
        for (size_t i = 0; i < parsed_.size(); ++i) {
            section_ = int(i);
            ScheduleSection(song_.sections[i], parsed_[i], barOffset);
            barOffset += song_.sections[i].bars;
        }
        std::stable_sort(events_.begin(), events_.end(),
                         [](const NoteEvent& a, const NoteEvent& b) { return a.time < b.time; });
        return std::move(events_);
    }

private:
    int StepsPerBar() const { return song_.beatsPerBar * song_.stepsPerBeat; }

    // Time of a step counted from the song's first bar.
    double StepTime(long step) const {
        const double t = double(step) * StepDuration(song_);
        return (step % 2 != 0) ? t + double(song_.swing) * StepDuration(song_) : t;
    }

    float Brightness(const Section& s, double t) const {
        const double start = SectionStart(song_, section_), dur = SectionDuration(song_, section_);
        const float f = float(std::clamp((t - start) / dur, 0.0, 1.0));
        return s.brightnessStart + (s.brightnessEnd - s.brightnessStart) * f;
    }

    void Add(Instrument inst, double time, double duration, std::vector<int> notes, float velocity, float brightness,
             bool accent) {
        NoteEvent e;
        e.instrument = inst;
        e.time = time;
        e.duration = duration;
        e.notes = std::move(notes);
        e.velocity = velocity;
        e.brightness = brightness;
        e.accent = accent;
        e.section = section_;
        events_.push_back(std::move(e));
    }

    void Drums(const Section& s, const ParsedLane& lane, Instrument inst, int barOffset) {
        if (!lane.active()) return;
        for (int b = 0; b < s.bars; ++b) {
            const Bar& bar = lane.BarAt(b, s.bars);
            for (int k = 0; k < StepsPerBar(); ++k) {
                const Step& st = bar[size_t(k)];
                if (st.kind != Step::Note) continue;
                const long step = long(barOffset + b) * StepsPerBar() + k;
                float velocity = st.value == 2 ? 1.0f : (st.value == 3 ? 0.45f : 0.85f);
                if (inst == Instrument::ClosedHat || inst == Instrument::OpenHat)
                    velocity *= 0.88f + 0.12f * Jitter(song_.seed, uint32_t(step), uint32_t(inst));
                const double t = StepTime(step);
                Add(inst, t, 0, {}, velocity * lane.level, Brightness(s, t), st.value == 2);
            }
        }
    }

    // Melodic lanes: notes start on note steps and last until the next step
    // that is not a hold (possibly in a later bar).
    template <typename NoteOf>
    void Melodic(const Section& s, const ParsedSection& p, const ParsedLane& lane, Instrument inst, int barOffset,
                 NoteOf noteOf) {
        if (!lane.active()) return;
        long openStart = -1;
        int openNote = 0;
        const long sectionEnd = long(barOffset + s.bars) * StepsPerBar();
        auto close = [&](long endStep) {
            if (openStart < 0) return;
            const double t = StepTime(openStart);
            Add(inst, t, StepTime(endStep) - t, {openNote}, 0.9f * lane.level, Brightness(s, t), false);
            openStart = -1;
        };
        for (int b = 0; b < s.bars; ++b) {
            const Bar& bar = lane.BarAt(b, s.bars);
            const Chord& chord = p.chords[size_t(b) % p.chords.size()];
            for (int k = 0; k < StepsPerBar(); ++k) {
                const Step& st = bar[size_t(k)];
                const long step = long(barOffset + b) * StepsPerBar() + k;
                if (st.kind == Step::Hold) continue;
                close(step);
                if (st.kind == Step::Note) {
                    openStart = step;
                    openNote = noteOf(chord, st);
                }
            }
        }
        close(sectionEnd);
    }

    void ScheduleSection(const Section& s, const ParsedSection& p, int barOffset) {
        const double start = StepTime(long(barOffset) * StepsPerBar());
        if (s.crash) Add(Instrument::Crash, start, 0, {}, 1.0f, Brightness(s, start), true);
        Drums(s, p.kick, Instrument::Kick, barOffset);
        Drums(s, p.snare, Instrument::Snare, barOffset);
        Drums(s, p.clap, Instrument::Clap, barOffset);
        Drums(s, p.closedHat, Instrument::ClosedHat, barOffset);
        Drums(s, p.openHat, Instrument::OpenHat, barOffset);
        Melodic(s, p, p.bass, Instrument::Bass, barOffset, [](const Chord& c, const Step& st) { return BassNote(c, st.value); });
        Melodic(s, p, p.arp, Instrument::Arp, barOffset, [](const Chord& c, const Step& st) { return ArpNote(c, st.value); });
        Melodic(s, p, p.lead, Instrument::Lead, barOffset,
                [this](const Chord&, const Step& st) { return LeadNote(song_, st.value, st.accidental); });
        if (s.pad > 0) {
            // One held chord per run of equal chords.
            int b = 0;
            while (b < s.bars) {
                const Chord& c = p.chords[size_t(b) % p.chords.size()];
                int e = b + 1;
                while (e < s.bars) {
                    const Chord& n = p.chords[size_t(e) % p.chords.size()];
                    if (n.pitchClass != c.pitchClass || n.intervals != c.intervals) break;
                    ++e;
                }
                const double t = StepTime(long(barOffset + b) * StepsPerBar());
                Add(Instrument::Pad, t, StepTime(long(barOffset + e) * StepsPerBar()) - t, PadNotes(c), s.pad,
                    Brightness(s, t), false);
                b = e;
            }
        }
        if (s.riser) {
            const int bars = std::min(2, s.bars);
            const double t = StepTime(long(barOffset + s.bars - bars) * StepsPerBar());
            Add(Instrument::Riser, t, StepTime(long(barOffset + s.bars) * StepsPerBar()) - t, {}, 1.0f,
                Brightness(s, t), false);
        }
    }

    const Song& song_;
    const std::vector<ParsedSection>& parsed_;
    std::vector<NoteEvent> events_;
    int section_ = 0;
};

std::vector<double> Unique(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    v.erase(std::unique(v.begin(), v.end()), v.end());
    return v;
}

}  // namespace

const char* InstrumentName(Instrument instrument) {
    static const char* const kNames[] = {"kick", "snare", "clap", "closed hat", "open hat", "crash",
                                         "bass", "pad",   "arp",  "lead",       "riser"};
    const int i = int(instrument);
    return i >= 0 && i < int(Instrument::Count) ? kNames[i] : "?";
}

bool CheckSong(const Song& song, std::string* error) {
    std::vector<ParsedSection> parsed;
    std::string why;
    if (ParseSong(song, parsed, why)) return true;
    if (error) *error = why;
    return false;
}

std::vector<NoteEvent> ScheduleNotes(const Song& song) {
    std::vector<ParsedSection> parsed;
    std::string why;
    if (!ParseSong(song, parsed, why)) return {};
    return Scheduler(song, parsed).Run();
}

// Every time is a whole number of steps times StepDuration, computed the same
// way, so a hit on a section's first step is exactly the section's start.
double StepDuration(const Song& song) { return 60.0 / song.bpm / song.stepsPerBeat; }
double BeatDuration(const Song& song) { return double(song.stepsPerBeat) * StepDuration(song); }
double BarDuration(const Song& song) { return double(song.beatsPerBar * song.stepsPerBeat) * StepDuration(song); }

namespace {
double BarsTime(const Song& song, int bars) {
    return double(long(bars) * song.beatsPerBar * song.stepsPerBeat) * StepDuration(song);
}
}  // namespace

int TotalBars(const Song& song) {
    int bars = 0;
    for (const Section& s : song.sections) bars += std::max(0, s.bars);
    return bars;
}

double SongDuration(const Song& song) { return BarsTime(song, TotalBars(song)); }

double SectionStart(const Song& song, int section) {
    int bars = 0;
    for (int i = 0; i < section && i < int(song.sections.size()); ++i) bars += std::max(0, song.sections[size_t(i)].bars);
    return BarsTime(song, bars);
}

double SectionDuration(const Song& song, int section) {
    if (section < 0 || section >= int(song.sections.size())) return 0;
    return SectionStart(song, section + 1) - SectionStart(song, section);
}

std::vector<double> BeatTimes(const Song& song) {
    std::vector<double> t;
    const int beats = TotalBars(song) * song.beatsPerBar;
    for (int i = 0; i < beats; ++i) t.push_back(double(long(i) * song.stepsPerBeat) * StepDuration(song));
    return t;
}

std::vector<double> BarTimes(const Song& song) {
    std::vector<double> t;
    for (int i = 0; i < TotalBars(song); ++i) t.push_back(BarsTime(song, i));
    return t;
}

std::vector<double> SectionStarts(const Song& song) {
    std::vector<double> t;
    for (int i = 0; i < int(song.sections.size()); ++i) t.push_back(SectionStart(song, i));
    return t;
}

std::vector<double> HitTimes(const Song& song, Instrument instrument) {
    std::vector<double> t;
    for (const NoteEvent& e : ScheduleNotes(song))
        if (e.instrument == instrument) t.push_back(e.time);
    return Unique(std::move(t));
}

std::vector<double> AccentTimes(const Song& song) {
    std::vector<double> t;
    for (const NoteEvent& e : ScheduleNotes(song))
        if (e.accent) t.push_back(e.time);
    return Unique(std::move(t));
}

std::vector<double> InSection(const Song& song, const std::vector<double>& times, int section) {
    const double start = SectionStart(song, section), end = start + SectionDuration(song, section);
    std::vector<double> out;
    for (double t : times)
        if (t >= start && t < end) out.push_back(t - start);
    return out;
}

}  // namespace music
