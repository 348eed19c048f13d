// The seven colour names and the routine that recolours the big display from them.

#include "engine/colortable.h"
#include "fakeplatform.h"
#include "forms/viewer.h"
#include "support.h"

#include <QLabel>
#include <QLineEdit>

class ColorsTest : public QObject {
    Q_OBJECT

private slots:
    void onlyExactNamesMatch_data();
    void onlyExactNamesMatch();
    void applyScreenColors_data();
    void applyScreenColors();
    void recoloursTheDisplayAlone();
};

void ColorsTest::onlyExactNamesMatch_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("trailing blank") << "赤 ";
    QTest::newRow("leading blank") << " 赤";
    QTest::newRow("full-width blank") << "赤　";
    QTest::newRow("empty") << "";
    QTest::newRow("english") << "red";
    QTest::newRow("two names") << "赤黄";
    QTest::newRow("design-time text") << "Txt_BackColor";
    QTest::newRow("hiragana reading") << "あか";
}

void ColorsTest::onlyExactNamesMatch()
{
    QFETCH(QString, name);
    QVERIFY(!colorByName(name).has_value());
}

void ColorsTest::applyScreenColors_data()
{
    QTest::addColumn<QString>("back");
    QTest::addColumn<QString>("fore");
    QTest::addColumn<QColor>("expectedBack");
    QTest::addColumn<QColor>("expectedFore");
    const QColor black(0, 0, 0), green(0, 255, 0);
    QTest::newRow("赤 on 白") << "赤"
                              << "白" << QColor(255, 0, 0) << QColor(255, 255, 255);
    QTest::newRow("黄 on 黒") << "黄"
                              << "黒" << QColor(255, 255, 0) << black;
    QTest::newRow("青 on 桃") << "青"
                              << "桃" << QColor(0, 0, 255) << QColor(255, 100, 200);
    QTest::newRow("緑 on 赤") << "緑"
                              << "赤" << green << QColor(255, 0, 0);
    QTest::newRow("白 on 青") << "白"
                              << "青" << QColor(255, 255, 255) << QColor(0, 0, 255);
    QTest::newRow("桃 on 黄") << "桃"
                              << "黄" << QColor(255, 100, 200) << QColor(255, 255, 0);
    QTest::newRow("黒 on 黒: invisible, not refused") << "黒"
                                                      << "黒" << black << black;
    QTest::newRow("back with trailing blank: only the text colour") << "赤 "
                                                                    << "白" << black << QColor(255, 255, 255);
    QTest::newRow("unknown text colour: only the background") << "青"
                                                              << "blue" << QColor(0, 0, 255) << green;
    QTest::newRow("both unknown: nothing") << ""
                                           << "Txt_ForeColor" << black << green;
}

void ColorsTest::applyScreenColors()
{
    QFETCH(QString, back);
    QFETCH(QString, fore);
    QFETCH(QColor, expectedBack);
    QFETCH(QColor, expectedFore);
    FakePlatform platform;
    Viewer viewer(platform);
    ctl<QLineEdit>(viewer, "Txt_BackColor")->setText(back);
    ctl<QLineEdit>(viewer, "Txt_ForeColor")->setText(fore);
    run(viewer, "ApplyScreenColors");
    const QPalette palette = ctl<QLabel>(viewer, "Lbl_Time")->palette();
    for (auto group : {QPalette::Active, QPalette::Inactive}) {
        QCOMPARE(palette.color(group, QPalette::Window), expectedBack);
        QCOMPARE(palette.color(group, QPalette::WindowText), expectedFore);
    }
}

void ColorsTest::recoloursTheDisplayAlone()
{
    FakePlatform platform;
    Viewer viewer(platform);
    ctl<QLineEdit>(viewer, "Txt_BackColor")->setText("桃");
    ctl<QLineEdit>(viewer, "Txt_ForeColor")->setText("青");
    run(viewer, "ApplyScreenColors");
    QCOMPARE(ctl<QLabel>(viewer, "Lbl_Time")->palette().color(QPalette::Window), QColor(255, 100, 200));
    QCOMPARE(viewer.palette().color(QPalette::Window), QColor(128, 128, 128));
    QCOMPARE(ctl<QLabel>(viewer, "Lbl_Phase")->palette().color(QPalette::WindowText),
             viewer.palette().color(QPalette::WindowText));
    QCOMPARE(ctl<QWidget>(viewer, "Frm_Time")->palette().color(QPalette::Window), QColor(128, 128, 128));
}

QTEST_MAIN(ColorsTest)
#include "tst_colors.moc"
