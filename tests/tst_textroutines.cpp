// The numeric test, the 16-bit conversion and the "00" format, on the awkward texts an operator
// can type or paste.

#include "engine/textroutines.h"

#include <QTest>

class TextRoutinesTest : public QObject {
    Q_OBJECT

private slots:
    void numericTest_data();
    void numericTest();
    void toInt16_data();
    void toInt16();
    void format00_data();
    void format00();
};

void TextRoutinesTest::numericTest_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("numeric");
    QTest::newRow("plain") << "5" << true;
    QTest::newRow("padded") << "05" << true;
    QTest::newRow("every digit") << "9876543210" << true;
    QTest::newRow("blanks around") << " 5 " << true;
    QTest::newRow("tab before") << "\t5" << true;
    QTest::newRow("blank inside") << "1 2" << false;
    QTest::newRow("plus half") << "+.5" << true;
    QTest::newRow("minus") << "-5" << true;
    QTest::newRow("trailing point") << "5." << true;
    QTest::newRow("point alone") << "." << false;
    QTest::newRow("two points") << "1.2.3" << false;
    QTest::newRow("exponent") << "1e3" << true;
    QTest::newRow("exponent upper, signed") << "2.5E-1" << true;
    QTest::newRow("exponent without digits") << "1e" << false;
    QTest::newRow("exponent alone") << "e3" << false;
    QTest::newRow("sign alone") << "-" << false;
    QTest::newRow("double sign") << "--1" << false;
    QTest::newRow("sign after blank and digits") << "1-" << false;
    QTest::newRow("thousands separator") << "1,000" << false;
    QTest::newRow("hexadecimal") << "0x10" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("blanks only") << "   " << false;
    QTest::newRow("letters") << "abc" << false;
    // Full-width forms are not digits or signs here: the time boxes narrow them as they are typed.
    QTest::newRow("full-width digit") << "５" << false;
    QTest::newRow("full-width zero") << "０" << false;
    QTest::newRow("full-width nine") << "９" << false;
    QTest::newRow("full-width minus") << "－5" << false;
    QTest::newRow("minus sign") << "\u22125" << false;
    QTest::newRow("infinity word") << "inf" << false;
    QTest::newRow("beyond a double") << "1e400" << false;
    QTest::newRow("tiny, not zero") << "1e-400" << true;
}

void TextRoutinesTest::numericTest()
{
    QFETCH(QString, text);
    QFETCH(bool, numeric);
    QCOMPARE(isNumeric(text), numeric);
    QCOMPARE(numericValue(text).has_value(), numeric);
}

void TextRoutinesTest::toInt16_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("inRange");
    QTest::addColumn<int>("value");
    QTest::newRow("plain") << "42" << true << 42;
    QTest::newRow("blanks") << " 5 " << true << 5;
    QTest::newRow("half to even, down") << "2.5" << true << 2;
    QTest::newRow("half to even, up") << "3.5" << true << 4;
    QTest::newRow("negative half to even") << "-2.5" << true << -2;
    QTest::newRow("plus half to zero") << "+.5" << true << 0;
    QTest::newRow("one and a half") << "1.5" << true << 2;
    QTest::newRow("just above half") << "2.51" << true << 3;
    QTest::newRow("exponent") << "1e3" << true << 1000;
    QTest::newRow("top") << "32767" << true << 32767;
    QTest::newRow("top, rounded down") << "32767.4" << true << 32767;
    QTest::newRow("top, rounds over") << "32767.5" << false << 0;
    QTest::newRow("beyond top") << "32768" << false << 0;
    QTest::newRow("bottom") << "-32768" << true << -32768;
    QTest::newRow("bottom half rounds to even bottom") << "-32768.5" << true << -32768;
    QTest::newRow("beyond bottom") << "-32769" << false << 0;
    QTest::newRow("far beyond, never wrapped") << "65536" << false << 0;
    QTest::newRow("huge exponent") << "1e400" << false << 0;
    QTest::newRow("not numeric") << "1e" << false << 0;
    QTest::newRow("empty") << "" << false << 0;
}

void TextRoutinesTest::toInt16()
{
    QFETCH(QString, text);
    QFETCH(bool, inRange);
    QFETCH(int, value);
    const std::optional<qint16> converted = ::toInt16(text);
    QCOMPARE(converted.has_value(), inRange);
    if (inRange)
        QCOMPARE(int{*converted}, value);
}

void TextRoutinesTest::format00_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("formatted");
    QTest::newRow("one digit") << "5"
                               << "05";
    QTest::newRow("two digits") << "45"
                                << "45";
    QTest::newRow("already padded") << "07"
                                    << "07";
    QTest::newRow("three digits") << "123"
                                  << "123";
    QTest::newRow("zero") << "0"
                          << "00";
    QTest::newRow("negative") << "-5"
                              << "-05";
    QTest::newRow("negative two digits") << "-45"
                                         << "-45";
    QTest::newRow("half away from zero") << ".5"
                                         << "01";
    QTest::newRow("two and a half away from zero") << "2.5"
                                                   << "03";
    QTest::newRow("negative half away from zero") << "-2.5"
                                                  << "-03";
    QTest::newRow("small negative rounds to zero") << "-0.4"
                                                   << "00";
    QTest::newRow("blanks") << " 7 "
                            << "07";
    QTest::newRow("exponent") << "1e3"
                              << "1000";
    QTest::newRow("beyond 16 bits") << "99999"
                                    << "99999";
}

void TextRoutinesTest::format00()
{
    QFETCH(QString, text);
    QFETCH(QString, formatted);
    QCOMPARE(::format00(text), formatted);
}

QTEST_APPLESS_MAIN(TextRoutinesTest)
#include "tst_textroutines.moc"
