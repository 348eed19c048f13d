// The remote view wired to the main window: every change of what the big display shows reaches a
// viewer's browser, the control page presses the window's own buttons, and without --remote the
// program listens on no socket at all.

#include "forms/slave.h"
#include "remote/remoteview.h"
#include "rig.h"

#include <QCheckBox>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMenu>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QWebSocket>
#include <csignal>

namespace {

// A browser's WebSocket, collecting what the server pushes.
struct Follower {
    QWebSocket socket;
    QList<QJsonObject> received;

    [[nodiscard]] bool follow(const QString &viewUrl, int timeoutMs = kPatienceMs)
    {
        QObject::connect(&socket, &QWebSocket::textMessageReceived, [this](const QString &message) {
            received << QJsonDocument::fromJson(message.toUtf8()).object();
        });
        QUrl url(viewUrl);
        url.setScheme(QStringLiteral("ws"));
        url.setPath(QStringLiteral("/ws"));
        socket.open(url);
        return QTest::qWaitFor([this] { return !received.isEmpty(); }, timeoutMs);
    }
    static bool matches(const QJsonObject &state, const QJsonObject &wanted)
    {
        for (auto it = wanted.begin(); it != wanted.end(); ++it) {
            if (state.value(it.key()) != it.value())
                return false;
        }
        return true;
    }
    // Waits for a push in which every given field has the given value.
    [[nodiscard]] bool sees(const QJsonObject &wanted)
    {
        return QTest::qWaitFor(
            [&] {
                return std::any_of(received.cbegin(), received.cend(),
                                   [&](const QJsonObject &state) { return matches(state, wanted); });
            },
            kPatienceMs);
    }
    // Waits until the last push has them: what the server holds now.
    [[nodiscard]] bool holds(const QJsonObject &wanted)
    {
        return QTest::qWaitFor([&] { return !received.isEmpty() && matches(received.last(), wanted); },
                               kPatienceMs);
    }
};

// A free port on the loopback, from the server in the build folder.
const RemoteSettings kLoopback = [] {
    RemoteSettings settings;
    settings.port = 0;
    settings.bind = QStringLiteral("127.0.0.1");
    return settings;
}();
const QString kServer = QStringLiteral(PODIUMWATCH_BUILD_DIR "/podiumwatch-remote");

// Starts the remote view and waits until it listens; false when it failed.
[[nodiscard]] bool startRemote(RemoteView &remote)
{
    QSignalSpy started(&remote, &RemoteView::started);
    QSignalSpy failed(&remote, &RemoteView::failed);
    remote.start();
    return QTest::qWaitFor([&] { return started.count() + failed.count() > 0; }, kPatienceMs) &&
           started.count() == 1 && remote.isRunning();
}

// The TCP sockets a process and its children listen on, from /proc: their socket inodes that the
// kernel's tables list in the listening state.
int listeningSockets(qint64 pid)
{
    QSet<QString> inodes;
    QList<qint64> processes{pid};
    QFile children(QStringLiteral("/proc/%1/task/%1/children").arg(pid));
    if (children.open(QIODevice::ReadOnly)) {
        for (const QByteArray &child : children.readAll().simplified().split(' '))
            if (!child.isEmpty())
                processes << child.toLongLong();
    }
    for (const qint64 process : processes) {
        const QDir fds(QStringLiteral("/proc/%1/fd").arg(process));
        for (const QFileInfo &fd : fds.entryInfoList(QDir::System | QDir::NoDotAndDotDot)) {
            const QString target = fd.symLinkTarget().section(u'/', -1);
            if (target.startsWith(QLatin1String("socket:[")))
                inodes << target.mid(8).chopped(1);
        }
    }
    int listening = 0;
    for (const char *table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
        QFile file(QString::fromLatin1(table));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray &line : file.readAll().split('\n')) {
            const QList<QByteArray> fields = line.simplified().split(' ');
            if (fields.size() > 9 && fields[3] == "0A" && inodes.contains(QString::fromLatin1(fields[9])))
                ++listening;
        }
    }
    return listening;
}

// A programme of two talks, opened in the rig's window.
[[nodiscard]] bool openTwoTalks(Rig &rig, const QTemporaryDir &folder)
{
    QFile file(folder.filePath("p.json"));
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(R"({"format": "podiumwatch-programme", "version": 1, "talks": [
                   {"title": "一", "speaker": "甲", "time": "1:00"}, {"title": "二", "time": "2:00"}]})");
    file.close();
    return rig.parts().programme().open(file.fileName());
}

} // namespace

class RemoteViewTest : public QObject {
    Q_OBJECT

private slots:
    void everyChangeIsPushed_data();
    void everyChangeIsPushed();
    void controlPagePressesTheButtons();
    void startedAndStoppedFromTheContextMenu();
    void aMissingServerCostsOnlyTheRemoteView();
    void offUnlessAskedFor_data();
    void offUnlessAskedFor();
    void theWindowDecides_data();
    void theWindowDecides();
    void aServerThatDiesIsReplaced_data();
    void aServerThatDiesIsReplaced();
    void repeatedFailuresStopIt();
    void closingTheWindowEndsItAll();
};

void RemoteViewTest::everyChangeIsPushed_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<QJsonObject>("pushed");
    QTest::newRow("apply") << "apply" << QJsonObject{{"text", "0:10"},
                                                     {"state", "setup"},
                                                     {"stateText", "セットアップ中"},
                                                     {"remaining", 10},
                                                     {"background", "#000000"},
                                                     {"foreground", "#00ff00"}};
    QTest::newRow("tick") << "tick"
                          << QJsonObject{{"text", "0:09"},
                                         {"state", "running"},
                                         {"stateText", "進行中"},
                                         {"remaining", 9}};
    QTest::newRow("pause") << "pause"
                           << QJsonObject{{"text", "0:09"}, {"state", "paused"}, {"stateText", "一時停止中"}};
    QTest::newRow("bell colours") << "bell"
                                  << QJsonObject{{"text", "0:05"},
                                                 {"background", "#ffff00"},
                                                 {"foreground", "#000000"}};
    QTest::newRow("over-time colours")
        << "overtime" << QJsonObject{{"text", "0:01"}, {"remaining", -1}, {"background", "#ff0000"}};
    QTest::newRow("blink") << "blink"
                           << QJsonObject{
                                  {"text", "0:05"}, {"background", "#ff0000"}, {"foreground", "#000000"}};
    QTest::newRow("超過 flash") << "flash"
                                << QJsonObject{{"text", "超過"},
                                               {"background", "#ffff00"},
                                               {"foreground", "#ff0000"},
                                               {"remaining", -30}};
}

void RemoteViewTest::everyChangeIsPushed()
{
    QFETCH(QString, change);
    QFETCH(QJsonObject, pushed);
    Rig rig;
    RemoteView remote(rig.viewer, rig.parts(), rig.platform, kLoopback, kServer);
    QVERIFY(startRemote(remote));
    Follower browser;
    QVERIFY(browser.follow(remote.server().viewUrl()));
    QCOMPARE(browser.received.first().value("text"), QJsonValue("--:--"));
    QCOMPARE(browser.received.first().value("remaining"), QJsonValue(QJsonValue::Null));

    rig.setBell(1, "0", "05");
    rig.setTotal("0", "10");
    if (change != "apply") {
        rig.start();
        rig.second();
    }
    if (change == "pause")
        rig.button("Cmd_Pause")->click();
    else if (change == "bell")
        rig.seconds(4);
    else if (change == "overtime")
        rig.seconds(10);
    else if (change == "blink") {
        rig.seconds(14);
        rig.blink();
    } else if (change == "flash")
        rig.seconds(39);
    QVERIFY2(browser.sees(pushed), qPrintable(QJsonDocument(browser.received.last()).toJson()));
    // The page says the run state in the words of the window's own state line, and in over-time
    // that it is over.
    const bool over = pushed.value("remaining").toInt() < 0 || change == "blink";
    QTRY_COMPARE_WITH_TIMEOUT(
        QStringLiteral("動作状態：") + browser.received.last().value("stateText").toString(),
        over ? QStringLiteral("動作状態：超過中") : rig.label("Lbl_Phase")->text(), kPatienceMs);
}

void RemoteViewTest::controlPagePressesTheButtons()
{
    Rig rig;
    QTemporaryDir folder;
    QVERIFY(openTwoTalks(rig, folder));
    RemoteView remote(rig.viewer, rig.parts(), rig.platform, kLoopback, kServer);
    QVERIFY(startRemote(remote));
    Follower browser;
    QVERIFY(browser.follow(remote.server().viewUrl()));
    QVERIFY(browser.sees(
        {{"talk",
          QJsonObject{{"number", 1}, {"count", 2}, {"title", "一"}, {"speaker", "甲"}, {"affiliation", ""}}},
         {"next", QJsonObject{{"title", "二"}, {"speaker", ""}, {"affiliation", ""}}}}));
    QNetworkAccessManager network;
    auto post = [&](const QString &command, const QByteArray &body = {}, const QString &by = {}) {
        QUrl url(remote.server().controlUrl());
        url.setPath("/control/" + command);
        if (!by.isEmpty())
            url.setQuery(url.query() + "&by=" + by);
        QNetworkRequest request(url);
        request.setHeader(QNetworkRequest::ContentTypeHeader, "text/plain; charset=utf-8");
        QNetworkReply *reply = network.post(request, body);
        const bool done = QTest::qWaitFor([reply] { return reply->isFinished(); }, kPatienceMs);
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        reply->deleteLater();
        return done ? status : -1;
    };
    auto state = [&] { return rig.label("Lbl_Phase")->text(); };
    // Each answer comes once the window has done it, or has said why not.
    QCOMPARE(post("start"), 204);
    QCOMPARE(state(), QStringLiteral("動作状態：進行中"));
    QCOMPARE(post("next"), 409);
    QCOMPARE(post("previous"), 409);
    QCOMPARE(rig.parts().programme().talkNumber(), 1);
    QCOMPARE(post("pause"), 204);
    QTRY_COMPARE_WITH_TIMEOUT(state(), QStringLiteral("動作状態：一時停止中"), kPatienceMs);
    QVERIFY(browser.holds({{"state", "paused"}}));
    QCOMPARE(post("next"), 204);
    QTRY_COMPARE_WITH_TIMEOUT(rig.parts().programme().talkNumber(), 2, kPatienceMs);
    QVERIFY(browser.sees(
        {{"talk",
          QJsonObject{{"number", 2}, {"count", 2}, {"title", "二"}, {"speaker", ""}, {"affiliation", ""}}},
         {"next", QJsonValue::Null}}));
    QCOMPARE(post("previous"), 204);
    QTRY_COMPARE_WITH_TIMEOUT(rig.parts().programme().talkNumber(), 1, kPatienceMs);
    QCOMPARE(post("restart"), 204);
    QTRY_COMPARE_WITH_TIMEOUT(state(), QStringLiteral("動作状態：進行中"), kPatienceMs);
    QCOMPARE(post("reset"), 204);
    QTRY_COMPARE_WITH_TIMEOUT(state(), QStringLiteral("動作状態：セットアップ中"), kPatienceMs);
    QVERIFY(!rig.timer("Timer_PresentTime")->isActive());

    // The chair's words and minutes, and the time of day on the control page.
    QVERIFY(browser.holds({{"state", "setup"}}));
    QCOMPARE(post("adjust", {}, "60"), 409); // nothing to move in set-up
    QCOMPARE(post("message", "まとめに入ってください"), 204);
    QTRY_COMPARE_WITH_TIMEOUT(rig.viewer.feed().current().message, QStringLiteral("まとめに入ってください"),
                              kPatienceMs);
    QVERIFY(browser.sees({{"message", "まとめに入ってください"}, {"clock", "10:00:00"}}));
    QCOMPARE(post("start"), 204);
    QVERIFY(browser.holds({{"state", "running"}}));
    QCOMPARE(post("adjust", {}, "-60"), 204);
    QTRY_COMPARE_WITH_TIMEOUT(rig.display(), QStringLiteral("0:00"), kPatienceMs);
    QCOMPARE(post("message"), 204);
    QTRY_VERIFY_WITH_TIMEOUT(rig.viewer.feed().current().message.isEmpty(), kPatienceMs);
    QVERIFY(browser.sees({{"message", QJsonValue::Null}}));
}

void RemoteViewTest::startedAndStoppedFromTheContextMenu()
{
    Rig rig;
    RemoteView remote(rig.viewer, rig.parts(), rig.platform, kLoopback, kServer);
    // Right click: a menu with one thing to do, that opens the window with the two addresses.
    auto menuAction = [&](const QString &text) -> QAction * {
        emit rig.viewer.customContextMenuRequested(QPoint(10, 10));
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            if (auto *menu = qobject_cast<QMenu *>(widget); menu && menu->isVisible()) {
                for (QAction *action : menu->actions()) {
                    if (action->text() == text)
                        return action;
                }
            }
        }
        return nullptr;
    };
    QAction *start = menuAction(QStringLiteral("リモート表示を開始"));
    QVERIFY(start);
    start->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(remote.isRunning(), kPatienceMs);
    QWidget *addresses = nullptr;
    QVERIFY(QTest::qWaitFor(
        [&] {
            for (QWidget *widget : QApplication::topLevelWidgets())
                if (widget->windowTitle() == QStringLiteral("リモート表示") && widget->isVisible())
                    addresses = widget;
            return addresses != nullptr;
        },
        kPatienceMs));
    const QPointer<QWidget> guard(addresses);
    auto *stop = addresses->findChild<QPushButton *>();
    QVERIFY(stop);
    stop->click();
    QVERIFY(!remote.isRunning());
    QTRY_VERIFY_WITH_TIMEOUT(guard.isNull(), kPatienceMs);
    QVERIFY(menuAction(QStringLiteral("リモート表示を開始")));
}

void RemoteViewTest::aMissingServerCostsOnlyTheRemoteView()
{
    Rig rig;
    RemoteView remote(rig.viewer, rig.parts(), rig.platform, kLoopback,
                      QStringLiteral("/nonexistent/podiumwatch-remote"));
    QSignalSpy failed(&remote, &RemoteView::failed);
    QVERIFY(!startRemote(remote));
    QCOMPARE(failed.count(), 1);
    QVERIFY(!failed.first().first().toString().isEmpty());
    QVERIFY(!remote.isRunning());
    rig.setTotal("5", "00");
    rig.start();
    rig.second();
    QCOMPARE(rig.display(), QStringLiteral("4:59"));
}

void RemoteViewTest::offUnlessAskedFor_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("listens");
    QTest::newRow("no option") << QStringList{} << false;
    QTest::newRow("--remote=0") << QStringList{"--remote=0", "--remote-bind=127.0.0.1"} << true;
}

void RemoteViewTest::offUnlessAskedFor()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, listens);
    if (!QFile::exists(QStringLiteral("/proc/net/tcp")))
        QSKIP("needs Linux's /proc");
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("PODIUMWATCH_PROBE_FIRST_PAINT", "1");
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(PODIUMWATCH_BUILD_DIR "/podiumwatch"), arguments);
    QVERIFY(program.waitForStarted(kPatienceMs));
    QByteArray output;
    QVERIFY(QTest::qWaitFor(
        [&] {
            output += program.readAllStandardOutput();
            // The server starts beside the first paint, and says where it listens when it does.
            return output.contains("first-paint") && (!listens || output.contains("remote view: "));
        },
        kPatienceMs));
    QCOMPARE(listeningSockets(program.processId()) > 0, listens);
    QCOMPARE(output.contains("remote view: http://127.0.0.1:"), listens);
    program.kill();
    program.waitForFinished(kPatienceMs);
}

void RemoteViewTest::theWindowDecides_data()
{
    QTest::addColumn<QString>("clock"); // "none", "setup", "running", "paused", "limit"
    QTest::addColumn<int>("talk");      // the programme's talk before; 0: no programme
    QTest::addColumn<int>("command");
    QTest::addColumn<int>("seconds");
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("talkAfter");
    using Kind = RemoteCommand::Kind;
    const int next = int(Kind::Next), previous = int(Kind::Previous), adjust = int(Kind::Adjust);
    QTest::newRow("next while running") << "running" << 1 << next << 0 << 409 << 1;
    QTest::newRow("previous while running") << "running" << 2 << previous << 0 << 409 << 2;
    QTest::newRow("next while paused") << "paused" << 1 << next << 0 << 204 << 2;
    QTest::newRow("previous in set-up") << "setup" << 2 << previous << 0 << 204 << 1;
    QTest::newRow("next at the last talk") << "setup" << 2 << next << 0 << 409 << 2;
    QTest::newRow("next without a programme") << "setup" << 0 << next << 0 << 409 << 0;
    QTest::newRow("a minute in set-up") << "setup" << 0 << adjust << 60 << 409 << 0;
    QTest::newRow("a minute while running") << "running" << 0 << adjust << 60 << 204 << 0;
    QTest::newRow("a minute less while paused") << "paused" << 0 << adjust << -60 << 204 << 0;
    QTest::newRow("a minute past 546:07") << "limit" << 0 << adjust << 60 << 409 << 0;
    QTest::newRow("start without a time") << "none" << 0 << int(Kind::Start) << 0 << 409 << 0;
    QTest::newRow("start") << "setup" << 0 << int(Kind::Start) << 0 << 204 << 0;
    QTest::newRow("a message") << "none" << 0 << int(Kind::Message) << 0 << 204 << 0;
    const int go = int(Kind::Goto), saved = int(Kind::MessageSaved);
    QTest::newRow("half a minute while running") << "running" << 0 << adjust << 30 << 204 << 0;
    QTest::newRow("to talk 2 in set-up") << "setup" << 1 << go << 2 << 204 << 2;
    QTest::newRow("to talk 1 while paused") << "paused" << 2 << go << 1 << 204 << 1;
    QTest::newRow("to talk 2 while running") << "running" << 1 << go << 2 << 409 << 1;
    QTest::newRow("to talk 3 of two") << "setup" << 1 << go << 3 << 409 << 1;
    QTest::newRow("to a talk without a programme") << "setup" << 0 << go << 1 << 409 << 0;
    QTest::newRow("the 4th saved message") << "none" << 0 << saved << 3 << 204 << 0;
    QTest::newRow("a 5th of four saved messages") << "none" << 0 << saved << 4 << 409 << 0;
    // Checked again in the program, whatever the server let through.
    QTest::newRow("saved message -1") << "none" << 0 << saved << -1 << 400 << 0;
    QTest::newRow("eleven minutes more") << "running" << 0 << adjust << 660 << 400 << 0;
    QTest::newRow("projector on") << "setup" << 0 << int(Kind::Projector) << 1 << 204 << 0;
    QTest::newRow("projector off") << "setup" << 0 << int(Kind::Projector) << 0 << 204 << 0;
    QTest::newRow("mask on") << "running" << 0 << int(Kind::Mask) << 1 << 204 << 0;
    QTest::newRow("mask off") << "running" << 0 << int(Kind::Mask) << 0 << 204 << 0;
}

// What a control page is answered is what the window made of the command, decided when it comes.
void RemoteViewTest::theWindowDecides()
{
    QFETCH(QString, clock);
    QFETCH(int, talk);
    QFETCH(int, command);
    QFETCH(int, seconds);
    QFETCH(int, status);
    QFETCH(int, talkAfter);
    Rig rig;
    QTemporaryDir folder;
    if (talk > 0) {
        QVERIFY(openTwoTalks(rig, folder));
        if (talk == 2)
            rig.parts().programme().next();
    } else if (clock != "none") {
        rig.setTotal(clock == "limit" ? "546" : "5", clock == "limit" ? "07" : "00");
    }
    if (clock == "running" || clock == "paused" || clock == "limit")
        rig.start();
    if (clock == "running" || clock == "paused")
        rig.second();
    if (clock == "paused" || clock == "limit")
        rig.button("Cmd_Pause")->click();
    QCOMPARE(rig.parts().programme().talkNumber(), talk);
    const QString displayed = rig.display();

    // Off is asked of a projector that is open and a window that is masked.
    if (command == int(RemoteCommand::Kind::Projector) && seconds == 0)
        rig.button("Cmd_Slave")->click();
    if (command == int(RemoteCommand::Kind::Mask) && seconds == 0)
        rig.button("Check_Mask")->click();
    RemoteView remote(rig.viewer, rig.parts(), rig.platform, kLoopback, kServer);
    const CommandVerdict verdict =
        remote.carryOut({RemoteCommand::Kind(command), QStringLiteral("時間です"), seconds});
    QCOMPARE(verdict.status, status);
    QCOMPARE(verdict.reason.isEmpty(), status == 204);
    QCOMPARE(rig.parts().programme().talkNumber(), talkAfter);
    QVERIFY(rig.platform.messages.empty()); // nothing opened on the operator's screen
    if (command == int(RemoteCommand::Kind::Adjust))
        QCOMPARE(rig.display() != displayed, status == 204);
    if (command == int(RemoteCommand::Kind::Start))
        QCOMPARE(rig.timer("Timer_PresentTime")->isActive(), status == 204);
    if (command == int(RemoteCommand::Kind::Message))
        QCOMPARE(rig.viewer.feed().current().message, QStringLiteral("時間です"));
    if (command == int(RemoteCommand::Kind::MessageSaved) && status == 204)
        QCOMPARE(rig.viewer.feed().current().message, rig.parts().programme().savedMessages().at(seconds));
    if (command == int(RemoteCommand::Kind::Projector))
        QCOMPARE(rig.viewer.slave() && rig.viewer.slave()->isVisible(), seconds == 1);
    if (command == int(RemoteCommand::Kind::Mask))
        QCOMPARE(ctl<QWidget>(rig.viewer, "Frm_Time")->isHidden(), seconds == 1);
}

void RemoteViewTest::aServerThatDiesIsReplaced_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("killed") << SIGKILL;
    QTest::newRow("crashed") << SIGSEGV;
    QTest::newRow("stuck") << SIGSTOP;
}

// The server's process goes, by a kill, a crash or by no longer answering: the clock counts on,
// and a new server answers at the same addresses, where the page finds it again by itself.
void RemoteViewTest::aServerThatDiesIsReplaced()
{
    QFETCH(int, signal);
    Rig rig;
    RemoteView remote(rig.viewer, rig.parts(), rig.platform, kLoopback, kServer);
    QVERIFY(startRemote(remote));
    const QString view = remote.server().viewUrl();
    rig.setTotal("5", "00");
    rig.start();
    Follower browser;
    QVERIFY(browser.follow(view));
    const qint64 first = remote.server().serverProcessId();
    QVERIFY(first > 0);
    QCOMPARE(::kill(static_cast<pid_t>(first), signal), 0);
    QElapsedTimer replaced;
    replaced.start();
    for (int i = 0; i < 4; ++i)
        rig.second();
    QCOMPARE(rig.display(), QStringLiteral("4:56"));
    QTRY_VERIFY_WITH_TIMEOUT(remote.server().serverProcessId() != first &&
                                 remote.server().viewerCount() == 0 && remote.isRunning(),
                             kPatienceMs);
    if (signal == SIGSTOP)
        ::kill(static_cast<pid_t>(first), SIGKILL); // no longer ours; it must not outlive the test
    // As the page does: it tries again until the new server answers.
    std::unique_ptr<Follower> again;
    QVERIFY(QTest::qWaitFor(
        [&] {
            again = std::make_unique<Follower>();
            return again->follow(view, 500);
        },
        kPatienceMs));
    qInfo("a new server answered %lld ms after the signal", static_cast<long long>(replaced.elapsed()));
    QCOMPARE(remote.server().viewUrl(), view);
    rig.second();
    QVERIFY(again->holds({{"text", "4:55"}}));
}

// A server that keeps failing is not started over and over: the remote view stops, the window
// says so, and the context menu offers to start it afresh.
void RemoteViewTest::repeatedFailuresStopIt()
{
    Rig rig;
    RemoteView remote(rig.viewer, rig.parts(), rig.platform, kLoopback, kServer);
    QVERIFY(startRemote(remote));
    auto *notice = rig.viewer.findChild<QLabel *>(QStringLiteral("Notice"));
    QVERIFY(notice);
    for (int failure = 1; failure <= RemoteProcess::kFailuresGivenUp; ++failure) {
        QVERIFY(remote.isRunning());
        QVERIFY(notice->isHidden());
        QTRY_VERIFY_WITH_TIMEOUT(remote.server().serverProcessId() > 0 && remote.server().viewerCount() == 0,
                                 kPatienceMs);
        const qint64 pid = remote.server().serverProcessId();
        QCOMPARE(::kill(static_cast<pid_t>(pid), SIGKILL), 0);
        QTRY_VERIFY_WITH_TIMEOUT(remote.server().serverProcessId() != pid, kPatienceMs);
    }
    QTRY_VERIFY_WITH_TIMEOUT(!remote.isRunning(), kPatienceMs);
    QVERIFY(!notice->isHidden());
    QVERIFY(notice->toolTip().contains(QStringLiteral("リモート表示を開始")));
    QVERIFY(rig.platform.messages.empty());
    // Beside the sound's sign, not under it.
    rig.platform.soundWatcher(false);
    auto *sound = rig.viewer.findChild<QLabel *>(QStringLiteral("SoundOutputWarning"));
    QVERIFY(!sound->isHidden() && !notice->isHidden() && !sound->geometry().intersects(notice->geometry()));
    QVERIFY(startRemote(remote));
    QVERIFY(notice->isHidden());
}

// Closing the main window ends the program with everything it shows and serves: no control page
// goes on driving a clock nobody sees, and the programme window goes with it.
void RemoteViewTest::closingTheWindowEndsItAll()
{
    Rig rig;
    QTemporaryDir folder;
    QVERIFY(openTwoTalks(rig, folder));
    RemoteView remote(rig.viewer, rig.parts(), rig.platform, kLoopback, kServer);
    QVERIFY(startRemote(remote));
    rig.parts().showProgrammeWindow();
    QWidget *programmeWindow = inSomeWindow<QWidget>(QStringLiteral("ProgrammeWindow"));
    QVERIFY(programmeWindow && programmeWindow->isVisible());
    QSignalSpy closed(&rig.viewer, &Viewer::closed);
    QVERIFY(rig.viewer.close());
    QCOMPARE(closed.count(), 1);
    QVERIFY(!remote.isRunning());
    QVERIFY(!programmeWindow->isVisible());
}

QTEST_MAIN(RemoteViewTest)
#include "tst_remoteview.moc"
