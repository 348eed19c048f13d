// A desk's show against the real program on the loopback: a talk started over OSC runs to zero,
// and every cue of it arrives once and in order at an OSC listener and at an HTTP listener, while a
// third target that never answers holds up neither them nor the clock.

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkDatagram>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QUdpSocket>
#include <QtEndian>
#include <QtTest>

namespace {

QByteArray padded(QByteArray bytes)
{
    bytes += '\0';
    while (bytes.size() % 4)
        bytes += '\0';
    return bytes;
}

// The address of an OSC message, and its first int32 argument where it has one.
std::pair<QByteArray, std::optional<qint32>> readOsc(const QByteArray &datagram)
{
    const QByteArray address = datagram.left(datagram.indexOf('\0'));
    const qsizetype tags = padded(address).size();
    if (datagram.mid(tags, 2) != ",i")
        return {address, std::nullopt};
    const qsizetype arguments = tags + padded(datagram.mid(tags, datagram.indexOf('\0', tags) - tags)).size();
    if (datagram.size() < arguments + 4)
        return {address, std::nullopt};
    return {address, static_cast<qint32>(qFromBigEndian<quint32>(datagram.constData() + arguments))};
}

} // namespace

class DeskShowTest : public QObject {
    Q_OBJECT
private slots:
    void aTalkStartedOverOscCuesEveryTarget();
};

void DeskShowTest::aTalkStartedOverOscCuesEveryTarget()
{
    QTemporaryDir folder;
    QFile programme(folder.filePath("show.json"));
    QVERIFY(programme.open(QIODevice::WriteOnly));
    programme.write(R"({"format": "podiumwatch-programme", "version": 1,
                        "talks": [{"title": "一", "time": "0:04", "bells": ["0:02"]}]})");
    programme.close();

    QUdpSocket desk;
    QVERIFY(desk.bind(QHostAddress::LocalHost, 0));
    QStringList oscCues;
    QList<qint64> secondsArrived; // when each new remaining second of the state feed came
    std::optional<qint32> lastRemaining;
    QElapsedTimer clock;
    clock.start();
    connect(&desk, &QUdpSocket::readyRead, this, [&] {
        while (desk.hasPendingDatagrams()) {
            const auto [address, number] = readOsc(desk.receiveDatagram().data());
            if (address.startsWith("/podiumwatch/cue/"))
                oscCues << QString::fromLatin1(address.mid(17));
            if (address == "/podiumwatch/remaining" && number != lastRemaining) {
                lastRemaining = number;
                secondsArrived << clock.elapsed();
            }
        }
    });
    // The desk's HTTP listener answers every cue; the dead one takes connections and never answers.
    QTcpServer listener, dead;
    QVERIFY(listener.listen(QHostAddress::LocalHost) && dead.listen(QHostAddress::LocalHost));
    QStringList httpCues;
    connect(&listener, &QTcpServer::newConnection, this, [&] {
        while (QTcpSocket *socket = listener.nextPendingConnection()) {
            auto received = std::make_shared<QByteArray>();
            connect(socket, &QTcpSocket::readyRead, socket, [&httpCues, socket, received] {
                *received += socket->readAll();
                const qsizetype body = received->indexOf("\r\n\r\n");
                if (body < 0 || !received->endsWith('}'))
                    return;
                httpCues
                    << QJsonDocument::fromJson(received->mid(body + 4)).object().value("event").toString();
                received->clear();
                socket->write("HTTP/1.1 204 No Content\r\n\r\n");
            });
        }
    });

    QProcess program;
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_CONFIG_HOME", folder.path()); // the operator's settings stay untouched
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(PODIUMWATCH_PROGRAM),
                  {"--programme", programme.fileName(), "--osc=0", "--osc-send",
                   QStringLiteral("127.0.0.1:%1").arg(desk.localPort()), "--cue-url",
                   QStringLiteral("http://127.0.0.1:%1/dead").arg(dead.serverPort()), "--cue-url",
                   QStringLiteral("http://127.0.0.1:%1/cue").arg(listener.serverPort())});
    QByteArray printed;
    QTRY_VERIFY_WITH_TIMEOUT((printed += program.readAllStandardOutput()).contains("osc: 127.0.0.1:"), 30000);
    const auto oscPort = static_cast<quint16>(printed.mid(printed.lastIndexOf(':') + 1).trimmed().toUInt());
    QVERIFY(!printed.contains("remote view"));                      // the desk alone serves no page
    QTRY_COMPARE_WITH_TIMEOUT(oscCues, QStringList{"talk"}, 10000); // the programme opened

    QUdpSocket sender;
    sender.writeDatagram(padded("/podiumwatch/start") + padded(","), QHostAddress::LocalHost, oscPort);
    QTRY_VERIFY_WITH_TIMEOUT(oscCues.contains("zero"), 20000);
    sender.writeDatagram(padded("/podiumwatch/pause") + padded(","), QHostAddress::LocalHost, oscPort);
    const QStringList show{"talk", "start", "bell", "zero", "pause"};
    QTRY_COMPARE_WITH_TIMEOUT(oscCues, show, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(httpCues, show, 10000);

    // The dead target was asked all the while; the clock's seconds came a second apart regardless.
    for (qsizetype i = 1; i < secondsArrived.size(); ++i)
        QVERIFY2(
            secondsArrived[i] - secondsArrived[i - 1] < 1500,
            qPrintable(
                QStringLiteral("%1 ms between two seconds").arg(secondsArrived[i] - secondsArrived[i - 1])));
    QVERIFY(secondsArrived.size() >= 4);
    program.kill();
    program.waitForFinished(10000);
}

QTEST_MAIN(DeskShowTest)
#include "tst_deskshow.moc"
