#pragma once

#include "engine/result.h"
#include "remote/remotelimits.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QThread>
#include <QUrl>
#include <atomic>
#include <functional>

class DeskWorker;

// Where the desk's cues and state feed go, as the process checked them: it reads the settings as
// a stranger's, whatever the program checked before.
struct DeskTargets {
    struct Osc {
        QString host; // an IPv4 or IPv6 address, or a name looked up when first needed
        quint16 port = 0;
    };
    QList<Osc> osc;
    QList<QUrl> urls;
    bool isEmpty() const { return osc.isEmpty() && urls.isEmpty(); }
};
// HOST:PORT with an IPv4 address, an IPv6 one in brackets or a host name, and http:// URLs
// (https:// where this build has TLS), remotelimits::kCueTargets in all; the first that is not one
// is named in the refusal.
Result<DeskTargets> deskTargets(const DeskSettings &settings);

// What the desk hears, on a thread of its own so that no target, however slow, delays the
// commands, the pages or the probe. Every cue goes to every target; a target that fails costs a
// line on standard error at most once a minute and never holds up another.
//
// To each OSC target (HOST:PORT, UDP), a cue as
//   /podiumwatch/cue/EVENT  i talk, i remaining          (0 where the cue has none)
//                           then for "bell":    i bell   (1, 2, 3)
//                           and for "message":  s text   (empty when it was cleared)
// with EVENT the cue's "event" (start, pause, resume, bell, zero, overtime, reset, talk, message,
// restart; a name of other than a-z, 0-9 and '-' is not sent by OSC), and the state feed:
//   /podiumwatch/time      s   what the display shows, "12:34"
//   /podiumwatch/remaining i   signed seconds (not sent while the display has no time)
//   /podiumwatch/phase     s   setup, running, paused, overtime, or bell1, bell2, bell3 while
//                              running after that bell (overtime once the time is below zero)
//   /podiumwatch/colours   s s background, foreground as #rrggbb
// all four at every change of any of them, and once a second while the clock runs even when
// nothing changed. To each URL, a cue's JSON as the program made it, in a POST with
// Content-Type application/json: one request at a time, each given 2 s, none tried again.
class DeskOut : public QObject {
public:
    static constexpr int kRequestMs = 2000;
    // Cues waiting for one target, beyond which the oldest is dropped.
    static constexpr int kPending = 256;

    explicit DeskOut(QObject *parent = nullptr);
    ~DeskOut() override;

    void start(const DeskTargets &targets);
    bool isRunning() const { return worker_ != nullptr; }
    // A cue's JSON object, with its "event".
    void cue(const QByteArray &json);
    // The state as the pages get it.
    void state(const QByteArray &json);
    // Runs `answered` here once the desk's thread has had a turn: that thread is not stuck.
    void probe(std::function<void()> answered);

    // Since start(), over all targets: cues dropped from a full queue, and sends that failed.
    qint64 dropped() const { return dropped_.load(); }
    qint64 failed() const { return failed_.load(); }

private:
    QThread thread_;
    DeskWorker *worker_ = nullptr;
    std::atomic<qint64> dropped_{0}, failed_{0};
};
