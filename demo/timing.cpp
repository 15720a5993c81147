#include "demo/timing.h"

#include <algorithm>

namespace timing {

std::optional<float> LevelBelow(float value, float duration) {
    if (!(value < duration)) return std::nullopt;
    return 1.0f - value / duration;
}

std::optional<float> CutFadeLevel(float t, float before, float at, float after) {
    if (!(at - before < t && t < at + after)) return std::nullopt;
    return t < at ? 1.0f - (at - t) / before : 1.0f - (t - at) / after;
}

void FlashList::set(std::span<const float> times, float length) {
    count_ = int(std::min<size_t>(times.size(), std::size(times_)));
    std::copy_n(times.begin(), count_, times_);
    length_ = length;
    index_ = 0;
}

std::optional<float> FlashList::step(float t, float strength) {
    if (index_ >= count_) return std::nullopt;
    const float start = times_[index_];
    if (start <= t && t < start + length_) return strength * (1.0f - (t - start) / length_);
    if (t > start + length_) ++index_;  // past the list's end: no more flashes
    return std::nullopt;
}

void FlashList::seek(float t) {
    index_ = 0;
    while (index_ < count_ && t > times_[index_] + length_) ++index_;
}

const char* CameraByTime(float t, std::span<const float> bounds, std::span<const char* const> names) {
    for (size_t i = 0; i < bounds.size(); ++i)
        if (t < bounds[i]) return names[i];
    return names[bounds.size()];
}

CavernMoment CavernPhase(float t, float t1, float d1, float t2, float d2) {
    if (t < t1) return {1, false, t};
    if (t < t1 + d1) return {2, true, t - t1};
    if (t < t2 + d1) return {3, false, t - d1};
    if (t < t2 + d1 + d2) return {4, true, t - t2};
    return {5, false, t - d1 - d2};
}

float CreditLevel(float t, float appear, float duration, float hold) {
    const float level = t < appear + duration ? (t - appear) / duration : (appear + duration + hold - t) / duration;
    return std::min(level, 1.0f);
}

bool CreditVisible(float t, float appear, float duration, float hold) {
    return appear <= t && t < appear + 2 * duration + hold;
}

std::span<const GreetingBlock> GreetingBlocks() {
    static constexpr GreetingBlock kBlocks[] = {
        {0, 8, 0, 3}, {15, 8, 4, 7}, {25, 8, 12, 5}, {35, 4, 17, 5}, {42, 3, 22, 5}, {47, 3, 27, 5},
    };
    return kBlocks;
}

std::optional<float> GreetingLineLevel(float t, const GreetingBlock& block, int i) {
    const float begin = block.start + float(i), end = block.start + block.duration + float(i);
    if (!(begin < t && t < end)) return std::nullopt;
    return std::min(t - begin, end - t);
}

int NextLoadStep(std::span<const int> steps, int current) {
    for (int step : steps) {
        if (step == 0) break;
        if (step > current) return step;
    }
    return current;
}

std::optional<float> LoadingAdvance(float target, float time, float fps, float dt) {
    const float remaining = target - time;
    if (remaining < 0) return std::nullopt;
    return std::min(remaining, fps * dt);
}

std::optional<float> LoadingWipe(float timeLeft) {
    if (!(timeLeft <= 2.0f)) return std::nullopt;
    return 2.0f * (1.0f - timeLeft);
}

}  // namespace timing
