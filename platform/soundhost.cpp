// podiumwatch-sound: the program's sound output, in a process of its own. The sound library waits
// on the sound server inside its calls, and a server that stops answering would hold whichever
// thread made the call, for as long as it pleases; here that thread is this process's alone, and
// the program ends the process when it waits too long. A fresh process also connects afresh, so a
// server that appears or comes back later is found. It speaks the protocol in soundprotocol.h on
// its standard input and output, and ends when its standard input closes.

#include "platform/helperprocess.h"
#include "platform/soundprotocol.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QHash>
#include <QMediaDevices>
#include <QPointer>
#include <thread>

namespace {

using namespace soundprotocol;

struct Sound {
    int rate = 0;
    int channels = 0;
    QByteArray samples;
};

class Host : public QObject {
public:
    Host() { out_.open(1, QIODevice::WriteOnly | QIODevice::Unbuffered); }
    ~Host() override { stop(); }

    // Connects to the sound system and says whether there is an output; this is where a stalled
    // server holds us first.
    void open()
    {
        auto *devices = new QMediaDevices(this);
        connect(devices, &QMediaDevices::audioOutputsChanged, this, [this] { updateOutput(false); });
        updateOutput(true);
    }

    void load(quint64 id, const Sound &sound) { sounds_.insert(id, sound); }
    void forget() { sounds_.clear(); } // the sound playing keeps its bytes in its buffer

    void play(quint64 id, quint64 ticket)
    {
        stop();
        const auto found = sounds_.constFind(id);
        if (found == sounds_.cend() || output_.isNull()) {
            reply(kFailed, ticket);
            return;
        }
        QAudioFormat format;
        format.setSampleRate(found->rate);
        format.setChannelCount(found->channels);
        format.setSampleFormat(QAudioFormat::Int16);
        if (!output_.isFormatSupported(format)) {
            reply(kRefused, ticket);
            return;
        }
        auto *buffer = new QBuffer(this);
        buffer->setData(found->samples); // shares the bytes, no copy
        buffer->open(QIODevice::ReadOnly);
        auto *sink = new QAudioSink(output_, format, this);
        connect(sink, &QAudioSink::stateChanged, this, [this, sink](QAudio::State state) {
            // Played to the end (or failed): give the output back until the next sound.
            if (sink == sink_ && (state == QAudio::IdleState || state == QAudio::StoppedState) &&
                (state == QAudio::StoppedState || sink->error() != QAudio::NoError || buffer_->atEnd()))
                stop();
        });
        sink_ = sink;
        buffer_ = buffer;
        sink->start(buffer);
        if (sink->error() != QAudio::NoError) {
            stop();
            reply(kFailed, ticket);
            return;
        }
        reply(kStarted, ticket, found->samples.size());
    }

    void stop()
    {
        if (sink_) {
            sink_->disconnect(this);
            sink_->stop();
            sink_->deleteLater();
        }
        if (buffer_)
            buffer_->deleteLater();
    }

private:
    void updateOutput(bool always)
    {
        const bool had = !output_.isNull();
        output_ = QMediaDevices::defaultAudioOutput();
        if (always || had != !output_.isNull())
            reply(kOutput, output_.isNull() ? 0 : 1);
    }

    template <typename... Numbers> void reply(const char *word, Numbers... numbers)
    {
        out_.write(message(word, numbers...));
    }

    QFile out_;
    QAudioDevice output_;
    QHash<quint64, Sound> sounds_;
    QPointer<QAudioSink> sink_;
    QPointer<QBuffer> buffer_;
};

// Reads the program's messages on a thread of its own, so that the end of standard input is seen
// even while the main thread waits inside the sound library. Messages are handed to the main
// thread in order, to be served once it is free.
void readMessages(Host *host)
{
    QFile in;
    in.open(0, QIODevice::ReadOnly | QIODevice::Unbuffered);
    while (in.isOpen()) {
        const QByteArray line = in.readLine(kLongestLine);
        if (!line.endsWith('\n'))
            break; // the end of input, or not our stream
        const QList<QByteArray> words = line.trimmed().split(' ');
        bool ok[4] = {false, false, false, false};
        if (words[0] == kLoad && words.size() == 5) {
            const quint64 id = words[1].toULongLong(&ok[0]);
            Sound sound{words[2].toInt(&ok[1]), words[3].toInt(&ok[2]), {}};
            const qint64 bytes = words[4].toLongLong(&ok[3]);
            if (!(ok[0] && ok[1] && ok[2] && ok[3]) || sound.rate <= 0 || sound.channels <= 0 || bytes < 0 ||
                bytes > kLargestPayload)
                break;
            sound.samples.resize(bytes);
            qint64 got = 0;
            for (qint64 n = 0; got < bytes; got += n) {
                n = in.read(sound.samples.data() + got, bytes - got);
                if (n <= 0)
                    break;
            }
            if (got < bytes)
                break;
            QMetaObject::invokeMethod(
                host, [host, id, sound] { host->load(id, sound); }, Qt::QueuedConnection);
        } else if (words[0] == kPlay && words.size() == 3) {
            const quint64 id = words[1].toULongLong(&ok[0]);
            const quint64 ticket = words[2].toULongLong(&ok[1]);
            if (!ok[0] || !ok[1])
                break;
            QMetaObject::invokeMethod(
                host, [host, id, ticket] { host->play(id, ticket); }, Qt::QueuedConnection);
        } else if (words[0] == kStop && words.size() == 1) {
            QMetaObject::invokeMethod(
                host, [host] { host->stop(); }, Qt::QueuedConnection);
        } else if (words[0] == kForget && words.size() == 1) {
            QMetaObject::invokeMethod(
                host, [host] { host->forget(); }, Qt::QueuedConnection);
        } else {
            break;
        }
    }
    // The program has gone; the main thread may be held inside the sound library.
    leaveAfterTheProgram();
}

} // namespace

int main(int argc, char *argv[])
{
    useBinaryStandardStreams();
    QCoreApplication app(argc, argv);
    Host host;
    std::thread(readMessages, &host).detach();
    host.open();
    return QCoreApplication::exec();
}
