// Stock grooves for songs written with the music synthesiser: drum, bass and
// arpeggio patterns of one bar (or two, where written), one token per
// sixteenth, in the notation song.h reads. Songs add their own beside them.
#pragma once

namespace music::grooves {

// Drums: one character per sixteenth ('X' accented, 'x' hit, 'o' soft).
inline constexpr const char* kFourOnFloor = "x...x...x...x...";
inline constexpr const char* kFourAccented = "X...x...x...x... x...x...x...x...";  // accent every other bar
inline constexpr const char* kBackbeat = "....x.......x...";
inline constexpr const char* kSixteenthHats = "xoxoxoxoxoxoxoxo";
inline constexpr const char* kOffbeatHats = "..x...x...x...x.";
inline constexpr const char* kSnareRoll = "....x...x.x.xxxx";

// Bass: chord-relative tokens (R root, O octave, 5 fifth, '-' hold, '.' rest).
inline constexpr const char* kBassOffbeat = ". . R . . . R . . . R . . . R .";
inline constexpr const char* kBassRolling = ". R R R . R R R . R R R . R R R";
inline constexpr const char* kBassDrive = "R . R O R . R O R . R O R . 5 O";
inline constexpr const char* kBassLong = "R - - - - - - - - - - - - - - -";
inline constexpr const char* kBassDotted = "R - - R - - R - - R - - R - 5 -";
inline constexpr const char* kBassStab = "R - - - . . R - O - - - . . R -";

// Arpeggios: chord-tone indices.
inline constexpr const char* kArpUpDown = "0 1 2 3 4 3 2 1 0 1 2 3 4 3 2 1";
inline constexpr const char* kArpGate = "0 . 2 . 3 . 2 . 4 . 2 . 3 . 2 .";
inline constexpr const char* kArpFast = "0 2 4 2 1 3 5 3 0 2 4 2 1 3 5 3";
inline constexpr const char* kArpSlow = "0 - 2 - 3 - 4 - 3 - 2 - 1 - 2 -";

}  // namespace music::grooves
