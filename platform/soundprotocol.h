#pragma once

#include <QByteArray>

// What the program and its sound process (podiumwatch-sound) say to each other over the helper's
// standard input and output. Each message is one line of ASCII words separated by spaces; only
// `load` is followed by raw bytes.
//
// To the helper:
//   load <id> <rate> <channels> <bytes>  then exactly <bytes> bytes of interleaved signed 16-bit
//                                        little-endian samples, kept under <id> until `forget`
//   play <id> <ticket>                   cut whatever plays and start sound <id>
//   stop                                 cut whatever plays
//   forget                               drop every sound loaded
// Closing the helper's standard input ends it.
//
// From the helper:
//   output <0|1>               whether there is an output device: first once the sound system has
//                              answered at start-up, then at every change
//   started <ticket> <bytes>   the output has started that sound
//   refused <ticket>           the output cannot take that sound's format; nothing else is wrong
//   failed <ticket>            the output could not start it
namespace soundprotocol {

inline constexpr char kLoad[] = "load";
inline constexpr char kPlay[] = "play";
inline constexpr char kStop[] = "stop";
inline constexpr char kForget[] = "forget";
inline constexpr char kOutput[] = "output";
inline constexpr char kStarted[] = "started";
inline constexpr char kRefused[] = "refused";
inline constexpr char kFailed[] = "failed";

// One message line: the word, then its numbers.
template <typename... Numbers> QByteArray message(const char *word, Numbers... numbers)
{
    QByteArray line(word);
    ((line += ' ' + QByteArray::number(numbers)), ...);
    return line + '\n';
}

// No message line is longer; a longer one means the stream is not ours.
inline constexpr int kLongestLine = 128;
// Sounds come from files of at most 64 MB, 8-bit ones doubling in size as 16-bit samples, plus
// a short silent tail: anything beyond this is not a sound from the program.
inline constexpr qint64 kLargestPayload = qint64{160} * 1024 * 1024;

} // namespace soundprotocol
