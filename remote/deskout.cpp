#include "remote/deskout.h"

#include "remote/complaint.h"
#include "remote/osc.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QHostInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QTimer>
#include <QUdpSocket>
#include <deque>
#include <memory>
#include <vector>
#if QT_CONFIG(ssl)
#include <QSslSocket>
#endif

namespace {

// A name that could not be looked up is tried again when something is sent, but not more often.
constexpr qint64 kLookUpAgainMs = 30000;
constexpr int kFeedMs = 1000;
constexpr const char *kTimedOut = "podiumwatchTimedOut";

Result<DeskTargets::Osc> oscTarget(const QString &text)
{
    const auto refused = [&text] {
        return Result<DeskTargets::Osc>::failure(
            QStringLiteral("OSC target \"%1\" is not HOST:PORT (an IPv6 address in brackets)").arg(text));
    };
    static const QRegularExpression form(
        QStringLiteral(R"(^(?:\[([0-9A-Fa-f:.]+)\]|([^:\[\]]+)):([0-9]{1,5})$)"));
    static const QRegularExpression name(QStringLiteral(
        R"(^(?=.{1,253}$)[A-Za-z0-9](?:[A-Za-z0-9-]*[A-Za-z0-9])?(?:\.[A-Za-z0-9](?:[A-Za-z0-9-]*[A-Za-z0-9])?)*$)"));
    const QRegularExpressionMatch match = form.match(text);
    const int port = match.captured(3).toInt();
    if (!match.hasMatch() || port < 1 || port > 65535)
        return refused();
    DeskTargets::Osc target{match.captured(1) + match.captured(2), static_cast<quint16>(port)};
    const QHostAddress address(target.host);
    const bool bracketed = !match.captured(1).isEmpty();
    if (bracketed ? address.protocol() != QAbstractSocket::IPv6Protocol
                  : address.isNull() && !name.match(target.host).hasMatch())
        return refused();
    return target;
}

Result<QUrl> cueUrl(const QString &text)
{
    const QUrl url(text, QUrl::StrictMode);
#if QT_CONFIG(ssl)
    const bool tls = QSslSocket::supportsSsl();
#else
    const bool tls = false;
#endif
    const QString scheme = url.scheme();
    if (url.isValid() && !url.host().isEmpty() &&
        (scheme == QLatin1String("http") || (tls && scheme == QLatin1String("https"))))
        return url;
    return Result<QUrl>::failure(
        tls ? QStringLiteral("cue URL \"%1\" is not an http:// or https:// URL").arg(text)
            : QStringLiteral("cue URL \"%1\" is not an http:// URL (this build has no TLS for https)")
                  .arg(text));
}

// What the state feed says; sent again whenever any of it changes.
struct Feed {
    QString time;
    std::optional<int> remaining;
    QString phase;
    QString background, foreground;
    bool counting() const
    {
        return phase == QLatin1String("running") || phase == QLatin1String("overtime") ||
               phase.startsWith(QLatin1String("bell"));
    }
    friend bool operator==(const Feed &, const Feed &) = default;
};

Feed feedOf(const QJsonObject &state)
{
    Feed feed;
    feed.time = state.value(QLatin1String("text")).toString();
    if (const QJsonValue remaining = state.value(QLatin1String("remaining")); remaining.isDouble())
        feed.remaining = remaining.toInt();
    feed.phase = state.value(QLatin1String("state")).toString();
    if (feed.phase == QLatin1String("running")) {
        const int bell = state.value(QLatin1String("bell")).toInt();
        if (feed.remaining && *feed.remaining < 0)
            feed.phase = QStringLiteral("overtime");
        else if (bell > 0)
            feed.phase = QStringLiteral("bell%1").arg(bell);
    }
    feed.background = state.value(QLatin1String("background")).toString();
    feed.foreground = state.value(QLatin1String("foreground")).toString();
    return feed;
}

QList<QByteArray> feedMessages(const Feed &feed)
{
    QList<QByteArray> messages{osc::message("/podiumwatch/time", {feed.time})};
    if (feed.remaining)
        messages << osc::message("/podiumwatch/remaining", {qint32{*feed.remaining}});
    messages << osc::message("/podiumwatch/phase", {feed.phase})
             << osc::message("/podiumwatch/colours", {feed.background, feed.foreground});
    return messages;
}

// The cue as an OSC message, or nothing for an event its address cannot carry.
std::optional<QByteArray> cueMessage(const QJsonObject &cue)
{
    static const QRegularExpression plain(QStringLiteral("^[a-z0-9-]{1,32}$"));
    const QString event = cue.value(QLatin1String("event")).toString();
    if (!plain.match(event).hasMatch())
        return std::nullopt;
    QList<osc::Argument> arguments{qint32{cue.value(QLatin1String("talk")).toInt()},
                                   qint32{cue.value(QLatin1String("remaining")).toInt()}};
    if (event == QLatin1String("bell"))
        arguments << qint32{cue.value(QLatin1String("bell")).toInt()};
    else if (event == QLatin1String("message"))
        arguments << cue.value(QLatin1String("text")).toString();
    return osc::message("/podiumwatch/cue/" + event.toLatin1(), arguments);
}

} // namespace

Result<DeskTargets> deskTargets(const DeskSettings &settings)
{
    if (settings.oscSend.size() + settings.cueUrls.size() > remotelimits::kCueTargets)
        return Result<DeskTargets>::failure(
            QStringLiteral("more than %1 cue targets").arg(remotelimits::kCueTargets));
    DeskTargets targets;
    for (const QString &text : settings.oscSend) {
        const Result<DeskTargets::Osc> target = oscTarget(text);
        if (!target)
            return Result<DeskTargets>::failure(target.error());
        targets.osc << *target;
    }
    for (const QString &text : settings.cueUrls) {
        const Result<QUrl> url = cueUrl(text);
        if (!url)
            return Result<DeskTargets>::failure(url.error());
        targets.urls << *url;
    }
    return targets;
}

// The desk's side on its thread. Nothing here waits: the names are looked up on Qt's own threads,
// UDP is written without blocking, and HTTP is Qt's asynchronous client.
class DeskWorker : public QObject {
public:
    DeskWorker(DeskTargets targets, std::atomic<qint64> *dropped, std::atomic<qint64> *failed)
        : targets_(std::move(targets)), dropped_(dropped), failed_(failed)
    {
    }
    ~DeskWorker() override
    {
        // The replies go with the manager, before the targets their handlers name.
        for (const auto &target : urls_) {
            if (target->reply)
                disconnect(target->reply, nullptr, this, nullptr);
        }
        delete manager_;
    }

    // On the desk's thread, so that everything made here lives there.
    void begin()
    {
        for (const DeskTargets::Osc &given : targets_.osc) {
            auto target = std::make_unique<OscTarget>();
            target->host = given.host;
            target->port = given.port;
            target->address = QHostAddress(given.host);
            target->socket = new QUdpSocket(this);
            target->complaint =
                new Complaint(QStringLiteral("OSC target %1:%2").arg(given.host).arg(given.port), this);
            osc_.push_back(std::move(target));
        }
        for (const QUrl &url : targets_.urls) {
            auto target = std::make_unique<UrlTarget>();
            target->url = url;
            target->complaint = new Complaint(QStringLiteral("cue URL %1").arg(url.toString()), this);
            urls_.push_back(std::move(target));
        }
        manager_ = new QNetworkAccessManager(this);
        // The hall's network, not whatever proxy the session names; and nothing a target says is kept.
        manager_->setProxy(QNetworkProxy::NoProxy);
        manager_->setCookieJar(nullptr);
        manager_->setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
        feedTimer_ = new QTimer(this);
        feedTimer_->setInterval(kFeedMs);
        connect(feedTimer_, &QTimer::timeout, this, [this] { sendFeed(); });
    }

    void cue(const QByteArray &json)
    {
        const QJsonObject object = QJsonDocument::fromJson(json).object();
        if (const std::optional<QByteArray> message = cueMessage(object)) {
            for (const auto &target : osc_)
                sendOsc(*target, *message, true);
        }
        for (const auto &target : urls_) {
            queue(target->pending, json, *target->complaint);
            post(*target);
        }
    }

    void state(const QByteArray &json)
    {
        if (osc_.empty())
            return;
        const Feed feed = feedOf(QJsonDocument::fromJson(json).object());
        if (feed == feed_)
            return;
        feed_ = feed;
        sendFeed();
    }

private:
    struct OscTarget {
        QString host;
        quint16 port = 0;
        QHostAddress address; // null until looked up
        bool lookingUp = false;
        QElapsedTimer lookedUp; // the last lookup that failed
        QUdpSocket *socket = nullptr;
        std::deque<QByteArray> pending; // cues waiting for the lookup
        Complaint *complaint = nullptr;
    };
    struct UrlTarget {
        QUrl url;
        QNetworkReply *reply = nullptr; // the one request in flight
        std::deque<QByteArray> pending;
        Complaint *complaint = nullptr;
    };

    void queue(std::deque<QByteArray> &pending, const QByteArray &bytes, Complaint &complaint)
    {
        if (pending.size() >= static_cast<std::size_t>(DeskOut::kPending)) {
            pending.pop_front();
            ++*dropped_;
            complaint.add(QStringLiteral("dropped"));
        }
        pending.push_back(bytes);
    }

    void fail(Complaint &complaint, const QString &why, qint64 count = 1)
    {
        *failed_ += count;
        for (qint64 i = 0; i < count; ++i)
            complaint.add(QStringLiteral("failed"), why);
    }

    // Every change at once, and while the clock runs once a second after the last.
    void sendFeed()
    {
        const QList<QByteArray> messages = feedMessages(feed_);
        for (const auto &target : osc_) {
            for (const QByteArray &message : messages)
                sendOsc(*target, message, false);
        }
        if (feed_.counting())
            feedTimer_->start();
        else
            feedTimer_->stop();
    }

    // A cue waits for its target's name to be looked up; the feed is not kept, as the next one is
    // more up to date.
    void sendOsc(OscTarget &target, const QByteArray &message, bool keep)
    {
        if (target.address.isNull()) {
            if (keep)
                queue(target.pending, message, *target.complaint);
            lookUp(target);
            return;
        }
        if (target.socket->writeDatagram(message, target.address, target.port) < 0)
            fail(*target.complaint, target.socket->errorString());
    }

    void lookUp(OscTarget &target)
    {
        if (target.lookingUp || (target.lookedUp.isValid() && target.lookedUp.elapsed() < kLookUpAgainMs))
            return;
        target.lookingUp = true;
        QHostInfo::lookupHost(target.host, this, [this, &target](const QHostInfo &info) {
            target.lookingUp = false;
            if (info.error() != QHostInfo::NoError || info.addresses().isEmpty()) {
                target.lookedUp.start();
                fail(*target.complaint, info.errorString(), static_cast<qint64>(target.pending.size()));
                target.pending.clear();
                return;
            }
            target.address = info.addresses().constFirst();
            for (; !target.pending.empty(); target.pending.pop_front())
                sendOsc(target, target.pending.front(), false);
        });
    }

    void post(UrlTarget &target)
    {
        if (target.reply || target.pending.empty())
            return;
        QNetworkRequest request(target.url);
        request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
        QNetworkReply *reply = manager_->post(request, target.pending.front());
        target.pending.pop_front();
        target.reply = reply;
        // Qt's transfer timeout counts silence only: a target trickling a byte a second would
        // keep its one request, and so its queue, for ever. This is the whole request's time.
        // Precise: a coarse timer of two seconds may end it a tenth early.
        QTimer::singleShot(DeskOut::kRequestMs, Qt::PreciseTimer, reply, [reply] {
            reply->setProperty(kTimedOut, true);
            reply->abort();
        });
        // What a target answers is of no use, and is not kept.
        connect(reply, &QIODevice::readyRead, reply, [reply] { reply->skip(reply->bytesAvailable()); });
        connect(reply, &QNetworkReply::finished, this, [this, &target, reply] {
            const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
            if (reply->property(kTimedOut).toBool())
                fail(*target.complaint,
                     QStringLiteral("no answer within %1 s").arg(DeskOut::kRequestMs / 1000));
            else if (reply->error() != QNetworkReply::NoError && status == 0)
                fail(*target.complaint, reply->errorString());
            else if (status < 200 || status > 299)
                fail(*target.complaint, QStringLiteral("HTTP %1").arg(status));
            reply->deleteLater();
            target.reply = nullptr;
            post(target);
        });
    }

    DeskTargets targets_;
    std::atomic<qint64> *dropped_, *failed_;
    // Held by pointer: the lookups' and the replies' handlers keep a reference to their target.
    std::vector<std::unique_ptr<OscTarget>> osc_;
    std::vector<std::unique_ptr<UrlTarget>> urls_;
    QNetworkAccessManager *manager_ = nullptr;
    QTimer *feedTimer_ = nullptr;
    Feed feed_;
};

DeskOut::DeskOut(QObject *parent) : QObject(parent)
{
    thread_.setObjectName(QStringLiteral("desk out"));
}

DeskOut::~DeskOut()
{
    if (!worker_)
        return;
    QMetaObject::invokeMethod(
        worker_,
        [worker = worker_] {
            delete worker;
            QThread::currentThread()->quit();
        },
        Qt::QueuedConnection);
    thread_.wait();
}

void DeskOut::start(const DeskTargets &targets)
{
    if (worker_)
        return;
    worker_ = new DeskWorker(targets, &dropped_, &failed_);
    worker_->moveToThread(&thread_);
    thread_.start();
    QMetaObject::invokeMethod(
        worker_, [worker = worker_] { worker->begin(); }, Qt::QueuedConnection);
}

void DeskOut::cue(const QByteArray &json)
{
    if (worker_)
        QMetaObject::invokeMethod(
            worker_, [worker = worker_, json] { worker->cue(json); }, Qt::QueuedConnection);
}

void DeskOut::state(const QByteArray &json)
{
    if (worker_)
        QMetaObject::invokeMethod(
            worker_, [worker = worker_, json] { worker->state(json); }, Qt::QueuedConnection);
}

void DeskOut::probe(std::function<void()> answered)
{
    if (worker_)
        QMetaObject::invokeMethod(
            worker_,
            [this, answered = std::move(answered)] {
                QMetaObject::invokeMethod(this, answered, Qt::QueuedConnection);
            },
            Qt::QueuedConnection);
}
