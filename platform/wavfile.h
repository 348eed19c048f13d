#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// A sound ready for the output: interleaved signed 16-bit samples, little-endian.
struct PcmSound {
    int sampleRate = 0;
    int channels = 0;
    QByteArray samples;
};

// Larger files are not bell sounds; reading them would hold gigabytes for nothing.
inline constexpr qint64 kLargestSoundFile = 64 * 1024 * 1024;

// Reads a RIFF WAVE file of PCM (8, 16, 24 or 32 bits) or 32-bit float samples, and converts it
// to 16-bit samples followed by `tailMs` of silence, so that an output that cuts the last moment
// of a stream still plays every sample of the file. nullopt for anything else: not a WAV, an
// encoding other than those, no samples, or a file beyond kLargestSoundFile.
std::optional<PcmSound> decodeWav(const QByteArray &file, int tailMs = 0);
std::optional<PcmSound> readWavFile(const QString &path, int tailMs = 0);

// The 44-byte header of a 16-bit PCM WAV file whose sample data takes `dataBytes` (which need not be
// what follows: a damaged file says more than it holds).
QByteArray wavHeader(int sampleRate, int channels, quint32 dataBytes);
// The sound as a 16-bit PCM WAV file: the one writer for the generated bells and for tests.
QByteArray encodeWav(const PcmSound &sound);
