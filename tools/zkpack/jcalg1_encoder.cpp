// JCALG1 compression: match finding, cost-driven parsing and bit emission.
//
// Token costs in bits (ib = index bits, gamma(v) = 2 * floor(log2 v)):
//   literal              1 + 8
//   one-byte copy        3 + 4            offsets 1-16, length 1
//   short match          3 + 7 + 2        offsets 1-127, lengths 2-5
//   long match           2 + gamma((d >> ib) + 3) + ib + gamma(n - bias(d))
//   repeat last offset   2 + 2 + gamma(n)
//   index-bits control   3 + 7 + 2 + 4
//   end marker           3 + 7 + 2
// The decoder sets the last offset on short and long matches only; the parser
// follows the same rule along every path it prices. A long match with an offset
// under 128 must be at least 6 bytes (its length carries a bias of 4), and
// lengths are capped at 64 KiB so every gamma value stays far inside 31 bits.
#include "tools/zkpack/jcalg1_encoder.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <limits>

namespace zkpack {

namespace {

constexpr uint32_t kInfinite = std::numeric_limits<uint32_t>::max();
constexpr uint32_t kBlock = 8192;         // positions per shortest-path block
constexpr uint32_t kMaxMatch = 1u << 16;  // longest match or repeat emitted
constexpr uint32_t kWindowBits = 20;      // farthest offset searched: 1 MiB
constexpr uint32_t kMaxHashBits = 20;
constexpr uint32_t kInitialIndexBits = 8;

struct LevelSettings {
    uint32_t chainDepth;
    uint32_t niceLength;
};
constexpr std::array<LevelSettings, 9> kLevels = {{
    {4, 24}, {8, 32}, {12, 48}, {16, 48}, {24, 64}, {32, 64}, {64, 96}, {128, 128}, {256, 258},
}};

uint32_t GammaBits(uint32_t v) { return 2 * (31 - uint32_t(std::countl_zero(v))); }

uint32_t LengthBias(uint32_t offset) {
    if (offset < 0x80) return 4;
    if (offset < 0x27F) return 0;
    if (offset < 0x37FF) return 1;
    if (offset < 0x10000) return 2;
    return 3;
}

uint32_t LongCost(uint32_t d, uint32_t n, uint32_t ib) {
    const uint32_t bias = LengthBias(d);
    if (n < bias + 2) return kInfinite;
    return 2 + GammaBits((d >> ib) + 3) + ib + GammaBits(n - bias);
}

uint32_t RepeatCost(uint32_t n) { return 4 + GammaBits(n); }

// Short match where it applies, else long match; kInfinite when neither can
// carry (d, n).
uint32_t MatchCost(uint32_t d, uint32_t n, uint32_t ib) {
    if (d < 0x80 && n <= 5) return 12;
    return LongCost(d, n, ib);
}

enum class Kind : uint8_t { Literal, OneByte, Short, Long, Repeat };

struct Token {
    Kind kind;
    uint32_t length;
    uint32_t offset;  // literal: unused
};

struct Match {
    uint32_t length;
    uint32_t offset;
};

// Hash chains over 3-byte prefixes within a 1 MiB window, and the nearest earlier
// position of every 2-byte prefix. Positions are stored plus one; 0 means none.
class MatchFinder {
public:
    MatchFinder(const uint8_t* data, uint32_t size, uint32_t chainDepth)
        : data_(data), size_(size), depth_(chainDepth) {
        uint32_t windowBits = 8;
        while (windowBits < kWindowBits && (1u << windowBits) < size) ++windowBits;
        window_ = 1u << windowBits;
        prev_.assign(window_, 0);
        // About one bucket per position, so that chains hold few mere collisions.
        hashBits_ = 12;
        while (hashBits_ < kMaxHashBits && (1u << hashBits_) < size) ++hashBits_;
        head3_.assign(1u << hashBits_, 0);
        head2_.assign(1u << 16, 0);
    }

    void Insert(uint32_t pos) {
        if (pos + 1 >= size_) return;
        head2_[Key2(pos)] = pos + 1;
        if (pos + 2 >= size_) return;
        uint32_t& head = head3_[Hash3(pos)];
        prev_[pos & (window_ - 1)] = head;
        head = pos + 1;
    }

    // Candidates at pos, nearest first, each longer than the one before; lengths
    // are at most maxLen. Returns how many were written to out (room for 64).
    uint32_t Find(uint32_t pos, uint32_t maxLen, uint32_t nice, Match* out) const {
        if (maxLen < 2) return 0;
        uint32_t count = 0;
        uint32_t best = 1;
        // The nearest 2-byte match is at least as near as any longer one.
        if (const uint32_t p = head2_[Key2(pos)]) {
            const uint32_t cand = p - 1;
            const uint32_t len = MatchLength(pos, cand, maxLen);
            out[count++] = {len, pos - cand};
            best = len;
            if (best >= nice || best == maxLen) return count;
        }
        if (maxLen < 3) return count;
        uint32_t p = head3_[Hash3(pos)];
        for (uint32_t depth = depth_; p && depth; --depth) {
            const uint32_t cand = p - 1;
            const uint32_t d = pos - cand;
            if (d > window_ - 1) break;
            if (data_[cand + best] == data_[pos + best]) {
                const uint32_t len = MatchLength(pos, cand, maxLen);
                if (len > best) {
                    out[count++] = {len, d};
                    best = len;
                    if (best >= nice || best == maxLen || count == 64) break;
                }
            }
            const uint32_t next = prev_[cand & (window_ - 1)];
            // A slot reused by a newer position ends the chain.
            if (next == 0 || next - 1 >= cand) break;
            p = next;
        }
        return count;
    }

    uint32_t MatchLength(uint32_t pos, uint32_t cand, uint32_t maxLen) const {
        uint32_t n = 0;
        while (n + 8 <= maxLen) {
            uint64_t a, b;
            std::memcpy(&a, data_ + pos + n, 8);
            std::memcpy(&b, data_ + cand + n, 8);
            if (a != b) return n + uint32_t(std::countr_zero(a ^ b) / 8);
            n += 8;
        }
        while (n < maxLen && data_[pos + n] == data_[cand + n]) ++n;
        return n;
    }

private:
    uint32_t Key2(uint32_t pos) const { return uint32_t(data_[pos]) | uint32_t(data_[pos + 1]) << 8; }
    uint32_t Hash3(uint32_t pos) const {
        const uint32_t v = uint32_t(data_[pos]) << 16 | uint32_t(data_[pos + 1]) << 8 | data_[pos + 2];
        return (v * 2654435761u) >> (32 - hashBits_);
    }

    const uint8_t* data_;
    uint32_t size_;
    uint32_t depth_;
    uint32_t window_;
    uint32_t hashBits_;
    std::vector<uint32_t> prev_;
    std::vector<uint32_t> head3_;
    std::vector<uint32_t> head2_;
};

// Best way found so far to reach a position of the block.
struct Arrival {
    uint32_t cost;
    uint32_t lastOffset;  // the decoder's last offset after this token
    uint32_t length;      // of the token arriving here
    uint32_t offset;
    Kind kind;
};

// Shortest-path parse of the whole input with a given number of index bits.
std::vector<Token> Parse(const uint8_t* data, uint32_t size, uint32_t ib,
                         const LevelSettings& level) {
    std::vector<Token> tokens;
    tokens.reserve(size / 2 + 16);
    MatchFinder finder(data, size, level.chainDepth);
    std::vector<Arrival> arrivals(kBlock + kMaxMatch + 1);
    std::vector<Token> reversed;
    Match matches[64];
    uint32_t lastOffset = 1;

    uint32_t pos = 0;
    while (pos < size) {
        uint32_t end = std::min(size, pos + kBlock);
        for (uint32_t j = 1; j <= end - pos; ++j) arrivals[j].cost = kInfinite;
        arrivals[0] = {0, lastOffset, 0, 0, Kind::Literal};

        auto relax = [&](uint32_t j, uint32_t cost, Kind kind, uint32_t length, uint32_t offset,
                         uint32_t last) {
            if (cost < arrivals[j].cost) arrivals[j] = {cost, last, length, offset, kind};
        };

        for (uint32_t i = pos; i < end; ++i) {
            const uint32_t j = i - pos;
            const Arrival here = arrivals[j];
            const uint32_t maxLen = std::min(end - i, kMaxMatch);

            relax(j + 1, here.cost + 9, Kind::Literal, 1, 0, here.lastOffset);
            for (uint32_t k = 1; k <= 16 && k <= i; ++k) {
                if (data[i - k] == data[i]) {
                    relax(j + 1, here.cost + 7, Kind::OneByte, 1, k, here.lastOffset);
                    break;
                }
            }

            // The longest run available here, by repeat or by a searched match; a
            // run of at least the nice length is taken at once.
            uint32_t longest = 0, longestOffset = 0;
            bool longestIsRepeat = false;
            const uint32_t last = here.lastOffset;
            if (last <= i && maxLen >= 2) {
                const uint32_t len = finder.MatchLength(i, i - last, maxLen);
                for (uint32_t n = 2; n <= std::min(len, level.niceLength); ++n)
                    relax(j + n, here.cost + RepeatCost(n), Kind::Repeat, n, last, last);
                if (len >= 2) {
                    longest = len;
                    longestOffset = last;
                    longestIsRepeat = true;
                }
            }
            const uint32_t found = finder.Find(i, maxLen, level.niceLength, matches);
            uint32_t covered = 1;
            for (uint32_t m = 0; m < found; ++m) {
                const Match match = matches[m];
                const uint32_t top = std::min(match.length, level.niceLength);
                for (uint32_t n = covered + 1; n <= top; ++n) {
                    const uint32_t cost = MatchCost(match.offset, n, ib);
                    if (cost != kInfinite)
                        relax(j + n, here.cost + cost,
                              match.offset < 0x80 && n <= 5 ? Kind::Short : Kind::Long, n,
                              match.offset, match.offset);
                }
                covered = std::max(covered, top);
                if (match.length > longest) {
                    longest = match.length;
                    longestOffset = match.offset;
                    longestIsRepeat = false;
                }
            }
            finder.Insert(i);

            if (longest >= level.niceLength) {
                // A run that reaches the end of the block may go on past it; the
                // block then ends where the run does.
                const uint32_t farLimit = std::min(size - i, kMaxMatch);
                if (longest == maxLen && farLimit > maxLen)
                    longest = finder.MatchLength(i, i - longestOffset, farLimit);
                const uint32_t cost = longestIsRepeat ? RepeatCost(longest)
                                                      : MatchCost(longestOffset, longest, ib);
                const Kind kind = longestIsRepeat ? Kind::Repeat : Kind::Long;
                if (i + longest > end)
                    arrivals[j + longest] = {here.cost + cost, longestOffset, longest, longestOffset, kind};
                else
                    relax(j + longest, here.cost + cost, kind, longest, longestOffset, longestOffset);
                for (uint32_t skip = i + 1; skip < i + longest; ++skip) finder.Insert(skip);
                end = i + longest;
                break;
            }
        }

        // Walk the cheapest path back from the end of the block.
        reversed.clear();
        for (uint32_t j = end - pos; j > 0;) {
            const Arrival& a = arrivals[j];
            reversed.push_back({a.kind, a.length, a.offset});
            j -= a.length;
        }
        tokens.insert(tokens.end(), reversed.rbegin(), reversed.rend());
        lastOffset = arrivals[end - pos].lastOffset;
        pos = end;
    }
    return tokens;
}

class BitWriter {
public:
    void Put(uint32_t value, uint32_t n) {
        while (n > 0) {
            const uint32_t take = std::min(n, 32 - used_);
            const uint32_t chunk = uint32_t((uint64_t(value) >> (n - take)) & ((uint64_t(1) << take) - 1));
            acc_ |= uint32_t(uint64_t(chunk) << (32 - used_ - take));
            used_ += take;
            n -= take;
            if (used_ == 32) Flush();
        }
    }

    // Each data bit below the leading one, followed by 1 when more follow.
    void PutGamma(uint32_t v) {
        for (int b = 30 - std::countl_zero(v); b >= 0; --b) Put(((v >> b) & 1u) << 1 | (b > 0), 2);
    }

    std::vector<uint8_t> Finish() {
        if (used_ > 0) Flush();
        return std::move(out_);
    }

private:
    void Flush() {
        for (int i = 0; i < 4; ++i) out_.push_back(uint8_t(acc_ >> (8 * i)));
        acc_ = 0;
        used_ = 0;
    }

    std::vector<uint8_t> out_;
    uint32_t acc_ = 0;
    uint32_t used_ = 0;
};

uint64_t StreamBits(const std::vector<Token>& tokens, uint32_t ib) {
    uint64_t bits = (ib != kInitialIndexBits ? 16 : 0) + 12;
    for (const Token& t : tokens) {
        switch (t.kind) {
            case Kind::Literal: bits += 9; break;
            case Kind::OneByte: bits += 7; break;
            case Kind::Short: bits += 12; break;
            case Kind::Long: bits += LongCost(t.offset, t.length, ib); break;
            case Kind::Repeat: bits += RepeatCost(t.length); break;
        }
    }
    return bits;
}

// The index bits that would have carried the long matches' offsets cheapest.
uint32_t BestIndexBits(const std::vector<Token>& tokens, uint32_t current) {
    std::array<uint64_t, 16> cost{};
    for (const Token& t : tokens)
        if (t.kind == Kind::Long)
            for (uint32_t ib = 1; ib < 16; ++ib) cost[ib] += GammaBits((t.offset >> ib) + 3) + ib;
    uint32_t best = current;
    for (uint32_t ib = 1; ib < 16; ++ib)
        if (cost[ib] + 64 < cost[best]) best = ib;  // must pay for the control token
    return best;
}

std::vector<uint8_t> Emit(const uint8_t* data, const std::vector<Token>& tokens, uint32_t ib) {
    BitWriter out;
    if (ib != kInitialIndexBits) {
        out.Put(0, 3);
        out.Put(0, 7);
        out.Put(1, 2);
        out.Put(ib, 4);
    }
    uint32_t pos = 0;
    for (const Token& t : tokens) {
        switch (t.kind) {
            case Kind::Literal:
                out.Put(1, 1);
                out.Put(data[pos], 8);
                break;
            case Kind::OneByte:
                out.Put(1, 3);
                out.Put(t.offset - 1, 4);
                break;
            case Kind::Short:
                out.Put(0, 3);
                out.Put(t.offset, 7);
                out.Put(t.length - 2, 2);
                break;
            case Kind::Long:
                out.Put(1, 2);
                out.PutGamma((t.offset >> ib) + 3);
                out.Put(t.offset & ((1u << ib) - 1), ib);
                out.PutGamma(t.length - LengthBias(t.offset));
                break;
            case Kind::Repeat:
                out.Put(1, 2);
                out.PutGamma(2);
                out.PutGamma(t.length);
                break;
        }
        pos += t.length;
    }
    out.Put(0, 12);  // end marker
    return out.Finish();
}

}  // namespace

std::vector<uint8_t> CompressJCALG1(const uint8_t* data, size_t size, const EncoderOptions& options,
                                    EncoderStats* stats) {
    const LevelSettings& level = kLevels[size_t(std::clamp(options.level, 1, 9) - 1)];
    const uint32_t n = uint32_t(size);
    uint32_t ib = kInitialIndexBits;
    std::vector<Token> tokens = Parse(data, n, ib, level);
    const uint32_t better = BestIndexBits(tokens, ib);
    if (better != ib) {
        std::vector<Token> again = Parse(data, n, better, level);
        if (StreamBits(again, better) < StreamBits(tokens, ib)) {
            tokens = std::move(again);
            ib = better;
        }
    }
    if (stats) {
        *stats = {};
        stats->indexBits = ib;
        stats->indexControl = ib != kInitialIndexBits;
        for (const Token& t : tokens) {
            switch (t.kind) {
                case Kind::Literal: ++stats->literals; break;
                case Kind::OneByte: ++stats->oneByteCopies; break;
                case Kind::Short: ++stats->shortMatches; break;
                case Kind::Long: ++stats->longMatches; break;
                case Kind::Repeat: ++stats->repeats; break;
            }
        }
    }
    return Emit(data, tokens, ib);
}

}  // namespace zkpack
