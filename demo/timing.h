// The timing rules of the loading phase and the scene scripts, as pure functions
// of time, so each can be checked on its own and shared by every script.
//
// All script times are float seconds of scene time t (music time minus the
// script's start time); r is the time left in the scene's animation. A level is
// what an overlay is drawn with; "not drawn" is an empty optional.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "demo/ini_file.h"

namespace timing {

// The level of a timed overlay: 1 - value / duration while value < duration, where
// value is the time the overlay measures (t since the scene began for an
// opening, r for a closing, the time since or until a cut for the others).
std::optional<float> LevelBelow(float value, float duration);

// A camera cut hidden in a fade through black: with B before, T at and A after,
// while T - B < t < T + A the level is 1 - (T - t) / B before T and
// 1 - (t - T) / A from T on; fully black exactly at T.
std::optional<float> CutFadeLevel(float t, float before, float at, float after);

// Synchronised flashes over a list of beat times, each of the same length. The
// index moves on by at most one per frame and is never reset.
class FlashList {
public:
    FlashList() = default;
    // times holds count values (count 0: no flashes at all).
    void set(std::span<const float> times, float length);
    // The flash level this frame for strength s (empty when no flash is active),
    // moving the index on when the current flash is over.
    std::optional<float> step(float t, float strength);
    // Moves the index to the first flash not yet over at t, as if the list had
    // been stepped every frame up to t, without firing the flashes in between.
    void seek(float t);
    int index() const { return index_; }
    int count() const { return count_; }

private:
    float times_[kFloatListCapacity] = {};  // as many as a vlm.ini list holds
    int count_ = 0;
    float length_ = 1.0f;
    int index_ = 0;
};

// Camera table: names[i] is used while t < bounds[i] (the first such row wins);
// past the last bound the last name (names has one more entry than bounds).
const char* CameraByTime(float t, std::span<const float> bounds, std::span<const char* const> names);

// ---- cavern (with two forest interludes) ----
struct CavernMoment {
    int phase;          // 1..5
    bool forest;        // the forest is shown (phases 2 and 4)
    float sceneTime;    // cavern time c, or forest time f
};
CavernMoment CavernPhase(float t, float t1, float d1, float t2, float d2);

// ---- space credits ----
// (t - A) / D while t < A + D, otherwise (A + D + H - t) / D; capped at 1, no lower bound.
float CreditLevel(float t, float appear, float duration, float hold);
// True while A <= t < A + 2D + H.
bool CreditVisible(float t, float appear, float duration, float hold);

// ---- greetings ----
struct GreetingBlock {
    float start;     // S
    float duration;  // H
    int firstLine;   // F
    int lineCount;   // N
};
// The six blocks in the order they are drawn.
std::span<const GreetingBlock> GreetingBlocks();
// Progress of line i of a block at t, when S + i < t < S + H + i.
std::optional<float> GreetingLineLevel(float t, const GreetingBlock& block, int i);

// ---- loading ----
// The next loading step after current from the ascending list (a missing or 0
// entry ends it); current when there is none.
int NextLoadStep(std::span<const int> steps, int current);
// How far the loading animation moves this frame: the smaller of the frames left
// to the target and fps x dt; nothing when it is already past the target.
std::optional<float> LoadingAdvance(float target, float time, float fps, float dt);
// Wipe of the logo strip from the seconds left in the loading animation.
std::optional<float> LoadingWipe(float timeLeft);
// Milliseconds between two tick counts across the counter's wrap-around.
inline uint32_t TickDelta(uint32_t now, uint32_t before) { return now - before; }

}  // namespace timing
