#pragma once

// The countdown counts seconds in 16 bits: no total, bell, over-time or adjusted count goes past
// 546:07 either way, whichever way it is set (typed, from a programme, a minute more).
inline constexpr int kLongestCount = 32767;
