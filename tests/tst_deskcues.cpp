// The moments of a talk the production desk hears of, as the program makes them: a scripted talk
// with a programme, each moment once and in order, with what it says of the talk.

#include "desk/deskcues.h"
#include "forms/shownfeed.h"
#include "support/rig.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

class DeskCuesTest : public QObject {
    Q_OBJECT
private slots:
    void aScriptedTalkCuesEveryMomentOnceInOrder();
};

void DeskCuesTest::aScriptedTalkCuesEveryMomentOnceInOrder()
{
    Rig rig;
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("session.json"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(R"({"format": "podiumwatch-programme", "version": 1, "talks": [
        {"title": "一", "speaker": "甲", "time": "1:00", "bells": ["0:30", "0:30"]},
        {"title": "二", "speaker": "乙", "time": "2:00"}]})");
    file.close();
    QVERIFY(rig.parts().programme().open(path));

    DeskCues cues(rig.viewer, rig.parts(), rig.platform);
    QStringList said;
    QList<QJsonObject> sent;
    connect(&cues, &DeskCues::cue, this, [&](const QByteArray &json) {
        const QJsonObject cue = QJsonDocument::fromJson(json).object();
        sent << cue;
        QString line = cue.value("event").toString() + ' ' + QString::number(cue.value("talk").toInt()) +
                       ' ' + QString::number(cue.value("remaining").toInt());
        if (cue.contains("bell"))
            line += " bell " + QString::number(cue.value("bell").toInt());
        if (cue.contains("text"))
            line += " text " + cue.value("text").toString();
        said << line;
    });

    rig.start();
    rig.seconds(30);
    QCoreApplication::processEvents(); // the screens learn of the bell once the tick is done
    QCOMPARE(rig.viewer.feed().current().bell, 2);
    rig.seconds(60); // zero, then half a minute over
    rig.button("Cmd_Pause")->click();
    rig.start();
    rig.parts().message().set(QStringLiteral("時間です"));
    rig.parts().message().set({});
    rig.button("Cmd_Reset")->click();
    QCoreApplication::processEvents();
    QCOMPARE(rig.viewer.feed().current().bell, 0);
    rig.parts().programme().next();
    QCoreApplication::processEvents();

    QCOMPARE(said,
             (QStringList{"start 1 60", "bell 1 30 bell 1", "bell 1 30 bell 2", "zero 1 0", "overtime 1 -30",
                          "pause 1 -30", "resume 1 -30", "message 1 -30 text 時間です", "message 1 -30 text ",
                          "reset 1 60", "talk 2 120"}));
    // The local time with its offset, to the second.
    static const QRegularExpression moment(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d(Z|[+-]\d\d:\d\d)$)");
    for (const QJsonObject &cue : sent)
        QVERIFY2(moment.match(cue.value("at").toString()).hasMatch(), qPrintable(cue.value("at").toString()));
}

QTEST_MAIN(DeskCuesTest)
#include "tst_deskcues.moc"
