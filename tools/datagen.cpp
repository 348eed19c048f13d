// Draws the four button pictures and synthesises the bell sounds the program ships with, so that
// every data file is made from source at build time.
//
// usage: podiumwatch_datagen <folder for DATA> [<folder for the files built into the program>]

#include "platform/wavfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QtEndian>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <vector>

namespace {

constexpr int kRate = 22050;
constexpr double kTailSeconds = 0.3; // silence at the end, so no player clips the ring-out

struct Note {
    double start;     // seconds
    double frequency; // Hz
    double decay;     // seconds to fall to about a third
    double length;    // seconds
};

// A struck bell: a fundamental with a few inharmonic partials and an exponential ring-out.
std::vector<double> chime(const std::vector<Note> &notes)
{
    double end = 0;
    for (const Note &note : notes)
        end = std::max(end, note.start + note.length);
    std::vector<double> samples(static_cast<std::size_t>((end + kTailSeconds) * kRate), 0.0);
    static constexpr std::pair<double, double> partials[] = {
        {1.0, 1.0}, {2.0, 0.45}, {2.76, 0.25}, {5.4, 0.1}};
    for (const Note &note : notes) {
        const auto first = static_cast<std::size_t>(note.start * kRate);
        const auto count = static_cast<std::size_t>(note.length * kRate);
        for (std::size_t i = 0; i < count && first + i < samples.size(); ++i) {
            const double t = static_cast<double>(i) / kRate;
            const double attack = std::min(1.0, t / 0.004);
            const double fade = std::min(1.0, (note.length - t) / 0.05); // reach zero before the tail
            double value = 0;
            for (const auto &[ratio, weight] : partials)
                value += weight * std::sin(2 * std::numbers::pi * note.frequency * ratio * t) *
                         std::exp(-t * ratio / note.decay);
            samples[first + i] += value * attack * fade;
        }
    }
    return samples;
}

// The over-time alarm: urgent alternating square-ish beeps.
std::vector<double> alarm()
{
    std::vector<double> samples;
    for (int beep = 0; beep < 6; ++beep) {
        const double frequency = beep % 2 ? 660.0 : 880.0;
        for (int i = 0; i < kRate * 15 / 100; ++i) {
            const double t = static_cast<double>(i) / kRate;
            const double envelope = std::min({1.0, t / 0.005, (0.15 - t) / 0.005});
            double value = 0;
            for (int harmonic = 1; harmonic <= 7; harmonic += 2)
                value += std::sin(2 * std::numbers::pi * frequency * harmonic * t) / harmonic;
            samples.push_back(0.8 * value * envelope);
        }
        samples.insert(samples.end(), kRate / 20, 0.0);
    }
    samples.insert(samples.end(), static_cast<std::size_t>(kTailSeconds * kRate), 0.0);
    return samples;
}

bool writeWav(const QString &path, const std::vector<double> &samples)
{
    double peak = 1e-9;
    for (double s : samples)
        peak = std::max(peak, std::fabs(s));
    PcmSound sound{kRate, 1, QByteArray(static_cast<qsizetype>(samples.size() * 2), '\0')};
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const auto value = static_cast<qint16>(std::lround(samples[i] / peak * 0.7 * 32767));
        qToLittleEndian(value, sound.samples.data() + i * 2);
    }
    const QByteArray wav = encodeWav(sound);
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(wav) == wav.size();
}

QImage canvas()
{
    QImage image(128, 128, QImage::Format_RGB32);
    image.fill(QColor(40, 40, 48));
    return image;
}

void prepare(QPainter &painter, const QColor &color)
{
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
}

QImage startPicture()
{
    QImage image = canvas();
    QPainter painter(&image);
    prepare(painter, QColor(60, 200, 90));
    painter.drawPolygon(QPolygonF{{44, 30}, {44, 98}, {100, 64}});
    return image;
}

QImage restartPicture()
{
    QImage image = canvas();
    QPainter painter(&image);
    prepare(painter, QColor(240, 170, 40));
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(240, 170, 40), 12, Qt::SolidLine, Qt::FlatCap));
    painter.drawArc(QRectF(24, 24, 80, 80), 100 * 16, 290 * 16);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(240, 170, 40));
    painter.drawPolygon(QPolygonF{{58, 8}, {58, 40}, {84, 24}});
    prepare(painter, QColor(60, 200, 90));
    painter.drawPolygon(QPolygonF{{54, 48}, {54, 80}, {80, 64}});
    return image;
}

QImage stopPicture()
{
    QImage image = canvas();
    QPainter painter(&image);
    prepare(painter, QColor(220, 50, 50));
    painter.drawRoundedRect(QRectF(32, 32, 64, 64), 6, 6);
    return image;
}

QImage pausePicture()
{
    QImage image = canvas();
    QPainter painter(&image);
    prepare(painter, QColor(240, 220, 60));
    painter.drawRect(QRectF(34, 30, 22, 68));
    painter.drawRect(QRectF(72, 30, 22, 68));
    return image;
}

// The program's icon: a stopwatch with a green face ring, drawn at any size.
QImage icon(int size)
{
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 32.0, size / 32.0);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(70, 70, 78));
    painter.drawRoundedRect(QRectF(13, 1, 6, 4), 1, 1); // the crown
    painter.setBrush(QColor(0, 200, 0));
    painter.drawEllipse(QRectF(3, 5, 26, 26));
    painter.setBrush(QColor(20, 20, 24));
    painter.drawEllipse(QRectF(6, 8, 20, 20));
    painter.setPen(QPen(QColor(0, 255, 0), 2.5, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(16, 18), QPointF(16, 11));
    painter.drawLine(QPointF(16, 18), QPointF(21, 21));
    return image;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <folder for DATA> [<folder for built-in files>]\n", argv[0]);
        return 2;
    }
    const QDir root(QString::fromLocal8Bit(argv[1]));
    if (!root.mkpath(QStringLiteral("DATA/BackData")) || !root.mkpath(QStringLiteral("DATA/Sound"))) {
        std::fprintf(stderr, "cannot create DATA under %s\n", argv[1]);
        return 1;
    }
    bool ok = true;
    const std::pair<const char *, QImage> pictures[] = {{"Start.jpg", startPicture()},
                                                        {"ReStart.jpg", restartPicture()},
                                                        {"Stop.jpg", stopPicture()},
                                                        {"Pause.jpg", pausePicture()}};
    for (const auto &[file, picture] : pictures)
        ok &= picture.save(root.filePath(QStringLiteral("DATA/BackData/") + QLatin1StringView(file)), "JPG",
                           90);

    const std::pair<const char *, std::vector<double>> sounds[] = {
        {"QOR_Sound00.wav", alarm()},
        {"QOR_Sound01.wav", chime({{0.0, 1318.5, 0.45, 1.4}})},
        {"QOR_Sound02.wav", chime({{0.0, 1046.5, 0.4, 0.5}, {0.5, 1046.5, 0.4, 1.2}})},
        {"QOR_Sound03.wav",
         chime({{0.0, 784.0, 0.35, 0.4}, {0.4, 784.0, 0.35, 0.4}, {0.8, 784.0, 0.4, 1.2}})},
    };
    for (const auto &[file, samples] : sounds)
        ok &= writeWav(root.filePath(QStringLiteral("DATA/Sound/") + QLatin1StringView(file)), samples);

    if (argc > 2) {
        const QDir builtIn(QString::fromLocal8Bit(argv[2]));
        ok &= builtIn.mkpath(QStringLiteral("."));
        ok &= writeWav(builtIn.filePath(QStringLiteral("default_bell.wav")),
                       chime({{0.0, 987.8, 0.4, 0.45}, {0.45, 784.0, 0.5, 1.3}}));
        for (int size : {32, 128})
            ok &= icon(size).save(builtIn.filePath(QStringLiteral("podiumwatch-%1.png").arg(size)), "PNG");
    }

    if (!ok)
        std::fprintf(stderr, "could not write every data file\n");
    return ok ? 0 : 1;
}
