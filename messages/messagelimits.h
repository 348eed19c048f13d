#pragma once

#include <QtGlobal>

// A message to the speaker is one line of at most this many characters (Unicode code points), so
// that it stays readable under the time on a projector.
inline constexpr int kLongestMessage = 80;
// What such a message can take in UTF-8: a character is at most four bytes (an emoji, a rare
// kanji outside the basic plane), so 80 characters fit in 320 bytes whatever they are. A body
// longer than this cannot be a message, and is refused before it is even decoded.
inline constexpr qsizetype kLongestMessageBytes = 4 * kLongestMessage;
