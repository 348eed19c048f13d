#include "platform/wavfile.h"

#include <QFile>
#include <QFileInfo>
#include <QtEndian>
#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

quint16 u16(const char *p)
{
    return qFromLittleEndian<quint16>(p);
}

quint32 u32(const char *p)
{
    return qFromLittleEndian<quint32>(p);
}

constexpr quint16 kPcm = 1;
constexpr quint16 kFloat = 3;
constexpr quint16 kExtensible = 0xFFFE;

qint16 sample16(const char *p, int bits, bool isFloat)
{
    if (isFloat) {
        const float value = qFromLittleEndian<float>(p);
        const float clamped = std::isfinite(value) ? std::clamp(value, -1.0f, 1.0f) : 0.0f;
        return static_cast<qint16>(std::lround(clamped * 32767.0f));
    }
    switch (bits) {
    case 8:
        return static_cast<qint16>((static_cast<int>(static_cast<quint8>(*p)) - 128) * 256);
    case 16:
        return qFromLittleEndian<qint16>(p);
    case 24:
        return static_cast<qint16>(u16(p + 1));
    default: // 32
        return static_cast<qint16>(u16(p + 2));
    }
}

} // namespace

std::optional<PcmSound> decodeWav(const QByteArray &file, int tailMs)
{
    if (file.size() < 12 || !file.startsWith("RIFF") || file.mid(8, 4) != "WAVE")
        return std::nullopt;

    quint16 format = 0, channels = 0, bits = 0;
    quint32 rate = 0;
    const char *data = nullptr;
    qsizetype dataSize = 0;
    bool haveFormat = false;
    qsizetype at = 12;
    while (at + 8 <= file.size()) {
        const char *chunk = file.constData() + at;
        const qsizetype size = u32(chunk + 4);
        const qsizetype available = std::min<qsizetype>(size, file.size() - at - 8);
        if (memcmp(chunk, "fmt ", 4) == 0 && available >= 16) {
            format = u16(chunk + 8);
            channels = u16(chunk + 10);
            rate = u32(chunk + 12);
            bits = u16(chunk + 22);
            if (format == kExtensible && available >= 26)
                format = u16(chunk + 32); // the sub-format's first two bytes name the encoding
            haveFormat = true;
        } else if (memcmp(chunk, "data", 4) == 0 && haveFormat) {
            // A file cut short still plays what it holds.
            data = chunk + 8;
            dataSize = available;
            break;
        }
        at += 8 + size + (size & 1);
    }

    const bool isFloat = format == kFloat && bits == 32;
    if (!data || !(format == kPcm || isFloat) || channels < 1 || channels > 8 || rate < 1000 ||
        rate > 384000 || (bits != 8 && bits != 16 && bits != 24 && bits != 32))
        return std::nullopt;
    const int frameBytes = channels * bits / 8;
    const qsizetype frames = dataSize / frameBytes;
    if (frames == 0)
        return std::nullopt;

    PcmSound sound;
    sound.sampleRate = static_cast<int>(rate);
    sound.channels = channels;
    const qsizetype tailFrames = static_cast<qsizetype>(rate) * tailMs / 1000;
    sound.samples = QByteArray((frames + tailFrames) * channels * 2, '\0');
    char *out = sound.samples.data();
    const qsizetype count = frames * channels;
    const int sampleBytes = bits / 8;
    for (qsizetype i = 0; i < count; ++i)
        qToLittleEndian(sample16(data + i * sampleBytes, bits, isFloat), out + i * 2);
    return sound;
}

std::optional<PcmSound> readWavFile(const QString &path, int tailMs)
{
    // Only regular files: opening a pipe or a device could wait for ever.
    const QFileInfo info(path);
    if (!info.isFile() || info.size() > kLargestSoundFile)
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    // Read what the file holds: asking QIODevice::read for the largest size allowed reserves that
    // much memory first, 64 MB for every sound read at once.
    return decodeWav(file.read(std::min(file.size(), kLargestSoundFile)), tailMs);
}

QByteArray wavHeader(int sampleRate, int channels, quint32 dataBytes)
{
    QByteArray header(44, '\0');
    char *h = header.data();
    const auto rate = static_cast<quint32>(sampleRate);
    const auto frameBytes = static_cast<quint16>(channels * 2);
    memcpy(h, "RIFF", 4);
    qToLittleEndian<quint32>(36 + dataBytes, h + 4);
    memcpy(h + 8, "WAVEfmt ", 8);
    qToLittleEndian<quint32>(16, h + 16);
    qToLittleEndian<quint16>(kPcm, h + 20);
    qToLittleEndian<quint16>(static_cast<quint16>(channels), h + 22);
    qToLittleEndian<quint32>(rate, h + 24);
    qToLittleEndian<quint32>(rate * frameBytes, h + 28);
    qToLittleEndian<quint16>(frameBytes, h + 32);
    qToLittleEndian<quint16>(16, h + 34);
    memcpy(h + 36, "data", 4);
    qToLittleEndian<quint32>(dataBytes, h + 40);
    return header;
}

QByteArray encodeWav(const PcmSound &sound)
{
    return wavHeader(sound.sampleRate, sound.channels, static_cast<quint32>(sound.samples.size())) +
           sound.samples;
}
