// The programme file: every field and how a talk resolves against the defaults and start-up, every
// kind of refusal with its message, CSV quoting and encodings, saving and reading back, the limits
// at their edge.

#include "programme/programmefile.h"

#include <QDir>
#include <QSaveFile>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_LINUX
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#endif

namespace {

const QString kFolder = QStringLiteral("/talks");

// A whole programme around the given talks (JSON text of the list's entries).
QByteArray programmeWith(const QByteArray &talks, const QByteArray &top = {})
{
    return R"({"format": "podiumwatch-programme", "version": 1, )" + top + R"( "talks": [)" + talks + "]}";
}

PreparedTalk startUp()
{
    PreparedTalk state;
    const char16_t *backgrounds[] = {u"黄", u"赤", u"青"};
    for (int b = 0; b < 3; ++b) {
        state.bells[static_cast<std::size_t>(b)] = {false,
                                                    static_cast<qint16>(120 - 60 * b),
                                                    true,
                                                    true,
                                                    QString::fromUtf16(backgrounds[b]),
                                                    b == 0 ? QStringLiteral("黒") : QStringLiteral("白"),
                                                    QStringLiteral("/d/%1.wav").arg(b + 1)};
    }
    state.alert = {true, true, true, QStringLiteral("赤"), QStringLiteral("白"), QStringLiteral("/d/0.wav")};
    return state;
}

QString flags(std::initializer_list<std::pair<bool, char>> values)
{
    QString text;
    for (const auto &[on, letter] : values)
        text += on ? QChar::fromLatin1(letter) : u'-';
    return text;
}

// "12:00; on 2:00 SC 黄/黒 /d/1.wav; ...; CWB 赤/白 /d/0.wav"
QString describe(const PreparedTalk &talk)
{
    QStringList parts{minutesSeconds(talk.seconds)};
    for (const PreparedBell &bell : talk.bells) {
        parts << QStringLiteral("%1 %2 %3 %4/%5 %6")
                     .arg(bell.on ? "on" : "off", minutesSeconds(bell.at),
                          flags({{bell.sound, 'S'}, {bell.colours, 'C'}}), bell.background, bell.text,
                          bell.file);
    }
    const PreparedAlert &alert = talk.alert;
    parts << QStringLiteral("%1 %2/%3 %4")
                 .arg(flags({{alert.colours, 'C'}, {alert.word, 'W'}, {alert.bell, 'B'}}), alert.background,
                      alert.text, alert.file);
    return parts.join(QStringLiteral("; "));
}

// "title|speaker（affiliation）|12:00|2:00,off,-": a bell on at its time, off, or not given.
QString describe(const ProgrammeTalk &talk)
{
    QStringList bells;
    for (const BellEntry &bell : talk.bells) {
        bells << (bell.state == BellEntry::State::On    ? minutesSeconds(bell.at)
                  : bell.state == BellEntry::State::Off ? QStringLiteral("off")
                                                        : QStringLiteral("-"));
    }
    const QString speaker = talk.affiliation.isEmpty()
                                ? talk.speaker
                                : QStringLiteral("%1（%2）").arg(talk.speaker, talk.affiliation);
    return QStringList{talk.title, speaker, minutesSeconds(talk.seconds), bells.join(u',')}.join(u'|');
}

// "title|13:00|2:00" of the programme itself, "-" for a field not given.
QString describeSession(const Programme &programme)
{
    return QStringList{programme.title,
                       programme.start ? hoursMinutes(*programme.start) : QStringLiteral("-"),
                       programme.changeover ? minutesSeconds(*programme.changeover) : QStringLiteral("-")}
        .join(u'|');
}

QString writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return {};
    return path;
}

} // namespace

class ProgrammeFileTest : public QObject {
    Q_OBJECT

private slots:
    void prepare_data();
    void prepare();
    void refusals_data();
    void refusals();
    void csv_data();
    void csv();
    void shiftJis_data();
    void shiftJis();
    void exampleFile();
    void roundTrip();
    void limits();
    void fileLimitAndOddFiles();
    void failedSaveKeepsTheOldFile();
};

void ProgrammeFileTest::prepare_data()
{
    QTest::addColumn<QByteArray>("top");
    QTest::addColumn<QByteArray>("talk");
    QTest::addColumn<QString>("prepared");
    const QString startBells =
        "off 2:00 SC 黄/黒 /d/1.wav; off 1:00 SC 赤/白 /d/2.wav; off 0:00 SC 青/白 /d/3.wav";
    const QString startAlert = "CWB 赤/白 /d/0.wav";
    QTest::newRow("nothing given: start-up")
        << QByteArray() << QByteArray(R"({"time": "12"})") << "12:00; " + startBells + "; " + startAlert;
    QTest::newRow("defaults' bells, a short list leaves the rest off")
        << QByteArray(R"("defaults": {"bells": ["2:59", "0:00"]},)") << QByteArray(R"({"time": "0:01"})")
        << "0:01; on 2:59 SC 黄/黒 /d/1.wav; on 0:00 SC 赤/白 /d/2.wav; off 0:00 SC 青/白 /d/3.wav; " +
               startAlert;
    QTest::newRow("the talk's own list replaces the defaults'")
        << QByteArray(R"("defaults": {"bells": ["2:00", "1:30", "0:30"]},)")
        << QByteArray(R"({"time": "546:07", "bells": ["546:07"]})")
        << "546:07; on 546:07 SC 黄/黒 /d/1.wav; off 1:30 SC 赤/白 /d/2.wav; off 0:30 SC 青/白 /d/3.wav; " +
               startAlert;
    QTest::newRow("an empty list turns every bell off")
        << QByteArray(R"("defaults": {"bells": ["2:00", "1:00", "0:00"]},)")
        << QByteArray(R"({"time": "10:00", "bells": []})")
        << "10:00; off 2:00 SC 黄/黒 /d/1.wav; off 1:00 SC 赤/白 /d/2.wav; off 0:00 SC 青/白 /d/3.wav; " +
               startAlert;
    QTest::newRow("bell object: own field, else the defaults' object, else start-up")
        << QByteArray(
               R"("defaults": {"bells": [{"at": "2:00", "sound": false, "background": "緑", "file": "b.wav"}]},)")
        << QByteArray(R"({"time": "10:00", "bells": [{"at": "4:00", "text": "桃", "file": "../s/own.wav"}]})")
        << "10:00; on 4:00 -C 緑/桃 /s/own.wav; off 1:00 SC 赤/白 /d/2.wav; off 0:00 SC 青/白 /d/3.wav; " +
               startAlert;
    QTest::newRow("defaults' bell given as a time lends nothing else")
        << QByteArray(R"("defaults": {"bells": ["2:00"]},)")
        << QByteArray(R"({"time": "10:00", "bells": [{"at": "4:00", "colours": false}, null, "0:10"]})")
        << "10:00; on 4:00 S- 黄/黒 /d/1.wav; off 1:00 SC 赤/白 /d/2.wav; on 0:10 SC 青/白 /d/3.wav; " +
               startAlert;
    QTest::newRow("defaults' bell object taken whole by a talk without bells")
        << QByteArray(
               R"("defaults": {"bells": [null, {"at": "1:00", "colours": false, "file": "sounds/b.wav"}]},)")
        << QByteArray(R"({"time": "10:00"})")
        << "10:00; off 2:00 SC 黄/黒 /d/1.wav; on 1:00 S- 赤/白 /talks/sounds/b.wav; off 0:00 SC 青/白 "
           "/d/3.wav; " +
               startAlert;
    QTest::newRow("alert field by field")
        << QByteArray(R"("defaults": {"alert": {"word": false, "background": "桃", "file": "end.wav"}},)")
        << QByteArray(R"({"time": "10:00", "alert": {"word": true, "bell": false, "file": "/abs/x.wav"}})")
        << "10:00; " + startBells + "; CW- 桃/白 /abs/x.wav";
    QTest::newRow("alert from the defaults alone")
        << QByteArray(R"("defaults": {"alert": {"colours": false, "text": "黒", "file": "end.wav"}},)")
        << QByteArray(R"({"time": "10:00"})") << "10:00; " + startBells + "; -WB 赤/黒 /talks/end.wav";
}

void ProgrammeFileTest::prepare()
{
    QFETCH(QByteArray, top);
    QFETCH(QByteArray, talk);
    QFETCH(QString, prepared);
    // The talk is second, after one that sets everything: nothing carries over from it.
    const QByteArray first = R"({"time": "5:00", "bells": [{"at": "1:00", "sound": false, "colours": false,
        "background": "白", "text": "白", "file": "f.wav"}, "0:30", "0:10"], "alert": {"colours": false,
        "word": false, "bell": false, "background": "青", "text": "青", "file": "a.wav"}}, )";
    const Result<Programme> read = readProgrammeJson(programmeWith(first + talk, top), kFolder);
    QVERIFY2(read.ok(), qPrintable(read.error()));
    QCOMPARE(describe(prepareTalk(*read, 1, startUp())), prepared);
}

void ProgrammeFileTest::refusals_data()
{
    QTest::addColumn<bool>("isCsv");
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("message");
    const auto json = [](const char *name, const QByteArray &file, const QString &message) {
        QTest::newRow(name) << false << file << message;
    };
    const auto talk = [&](const char *name, const QByteArray &entry, const QString &message) {
        json(name, programmeWith(R"({"time": "1:00"}, {"time": "2:00"}, )" + entry), "3番目の発表" + message);
    };
    json("not JSON", "{\n  \"format\": ,\n}", "2行目に JSON の書き方の誤りがあり、読めません。");
    json("not an object", "[1]", "発表プログラムのファイルではありません（全体が { } の形ではありません）。");
    json("not UTF-8", programmeWith("{\"title\": \"\x8e\x9e\", \"time\": \"1:00\"}"),
         "文字コードを読めません（JSON は UTF-8 で保存してください）。");
    json(
        "another format", R"({"format": "other", "version": 1, "talks": [{"time": "1:00"}]})",
        "発表プログラムのファイルではありません（\"format\" が \"podiumwatch-programme\" ではありません）。");
    json("newer version", R"({"format": "podiumwatch-programme", "version": 2})",
         "このファイルは新しい版（2）の発表プログラムで、この版のポディウォッチでは読めません。");
    json("version as text", R"({"format": "podiumwatch-programme", "version": "1"})",
         "プログラムの「版（version）」は 1 のような数で書いてください。");
    json("no talks", programmeWith(""), "発表が 1 件もありません。");
    json("talks not a list", R"({"format": "podiumwatch-programme", "version": 1, "talks": {}})",
         "プログラムの「発表」は [ ] のリストで書いてください。");
    json("start out of range", programmeWith(R"({"time": "1:00"})", R"("start": "24:00",)"),
         "プログラムの「開始予定」\"24:00\" は 0:00〜23:59 の範囲にありません。");
    json("changeover unreadable", programmeWith(R"({"time": "1:00"})", R"("changeover": "1ふん",)"),
         "プログラムの「発表間の切り替え」\"1ふん\" "
         "を読めません。「12:30」「12」「12分30秒」「0:12:30」のように書いてください。");
    json("defaults' bell", programmeWith(R"({"time": "1:00"})", R"("defaults": {"bells": ["9:99"]},)"),
         "既定値の「予鈴1」\"9:99\" "
         "を読めません。「12:30」「12」「12分30秒」「0:12:30」のように書いてください。");
    json("room too long",
         programmeWith(R"({"time": "1:00"})", R"("room": ")" + QByteArray("会").repeated(41) + R"(",)"),
         "プログラムの「会場」は 40 文字までです（41 文字あります）。");
    json("room on two lines", programmeWith(R"({"time": "1:00"})", R"("room": "A\nB",)"),
         "プログラムの「会場」は 1 行で書いてください。");
    json("room not text", programmeWith(R"({"time": "1:00"})", R"("room": 3,)"),
         "プログラムの「会場」は文字列で書いてください。");
    json("message empty", programmeWith(R"({"time": "1:00"})", R"("messages": ["ok", ""],)"),
         "2番目のメッセージが空です。");
    talk("talk not an object", R"("12:00")", "は { } の形で書いてください。");
    talk("time missing", R"({"title": "a"})", "に「時間」がありません。");
    talk("time unreadable", R"({"time": "12:75"})",
         "の「時間」\"12:75\" を読めません。「12:30」「12」「12分30秒」「0:12:30」のように書いてください。");
    talk("time as a number", R"({"time": 12})", "の「時間」は\"12:00\" のような文字列で書いてください。");
    talk("60 seconds in Japanese", R"({"time": "11分60秒"})",
         "の「時間」\"11分60秒\" "
         "を読めません。「12:30」「12」「12分30秒」「0:12:30」のように書いてください。");
    talk("time with 60 seconds", R"({"time": "11:60"})",
         "の「時間」\"11:60\" を読めません。「12:30」「12」「12分30秒」「0:12:30」のように書いてください。");
    talk("time zero", R"({"time": "0:00"})", "の「時間」\"0:00\" は 0:01〜546:07 の範囲にありません。");
    talk("time past 16 bits", R"({"time": "546:08"})",
         "の「時間」\"546:08\" は 0:01〜546:07 の範囲にありません。");
    talk("title not text", R"({"time": "1:00", "title": 5})", "の「演題」は文字列で書いてください。");
    talk("affiliation not text", R"({"time": "1:00", "affiliation": ["東京大学"]})",
         "の「所属」は文字列で書いてください。");
    talk("bell past 16 bits", R"({"time": "1:00", "bells": [null, "546:08"]})",
         "の「予鈴2」\"546:08\" は 0:00〜546:07 の範囲にありません。");
    talk("bell of another kind", R"({"time": "1:00", "bells": [true]})",
         "の「予鈴1」は\"1:00\" のような文字列か { } の形、または null で書いてください。");
    talk("four bells", R"({"time": "1:00", "bells": [null, null, null, null]})",
         "の「予鈴」は 3 つまでです（4 個あります）。");
    talk("bell without time", R"({"time": "1:00", "bells": [{"sound": true}]})",
         "の「予鈴1」に時間（\"at\"）がありません。");
    talk("bell colour not in the lists",
         R"({"time": "1:00", "bells": [null, {"at": "1:00", "background": "紫"}]})",
         "の「予鈴2の背景」\"紫\" は色の一覧（赤 黄 青 緑 黒 白 桃）にありません。");
    talk("bell switch not true or false",
         R"({"time": "1:00", "bells": [null, null, {"at": "0:10", "sound": 1}]})",
         "の「予鈴3のベルを鳴らす」は true か false で書いてください。");
    talk("alert not an object", R"({"time": "1:00", "alert": true})",
         "の「超過時の設定」は { } の形で書いてください。");
    talk("alert colour", R"({"time": "1:00", "alert": {"text": "white"}})",
         "の「超過時の文字」\"white\" は色の一覧（赤 黄 青 緑 黒 白 桃）にありません。");
    talk("alert word", R"({"time": "1:00", "alert": {"word": "no"}})",
         "の「30秒毎の『超過』の文字表示」は true か false で書いてください。");

    const auto csv = [](const char *name, const QByteArray &file, const QString &message) {
        QTest::newRow(name) << true << file << message;
    };
    csv("neither JSON nor CSV", "title,speaker\nA,B\n",
        "JSON でも、見出し行に「時間」（time）の列がある CSV でもありません。");
    csv("CSV without talks", "\xEF\xBB\xBFtime\r\n\r\n", "発表が 1 件もありません。");
    csv("neither UTF-8 nor Shift_JIS", "time\n\x81\x20\n",
        "文字コードを読めません（UTF-8 か Shift_JIS で保存してください）。");
    csv("two time columns", "Time,title,時間\n", "見出し行に「時間」の列が二つあります（1 列目と 3 列目）。");
    csv("quote never closed", "time,title\n1:00,ok\n2:00,\"never\nclosed\n",
        "3行目で始まる引用符（\"）が閉じていません。");
    csv("time cell empty, line counted", "title,time\n\"two\nlines\",1:00\n\nthree, \n",
        "2番目の発表（5行目）に「時間」がありません。");
    csv("time unreadable, line counted", "time,title\r\n10:00,\"a\r\nb\"\r\n12:75,c\r\n",
        "2番目の発表（4行目）の「時間」\"12:75\" "
        "を読めません。「12:30」「12」「12分30秒」「0:12:30」のように書いてください。");
    csv("affiliation too long", "所属,time\n" + QString(101, u'属').toUtf8() + ",1:00\n",
        "1番目の発表（2行目）の「所属」は 100 文字までです（101 文字あります）。");
    csv("bell unreadable", "time,予鈴2\n10:00,x\n",
        "1番目の発表（2行目）の「予鈴2」\"x\" "
        "を読めません。「12:30」「12」「12分30秒」「0:12:30」のように書いてください。");
    csv("session start past 23:59", "セッション,午後の部,開始,24:00\n時間\n1:00\n",
        "プログラム（1行目）の「開始予定」\"24:00\" は 0:00〜23:59 の範囲にありません。");
    csv("session start a duration, line counted", "\r\nstart,13\r\ntime\r\n1:00\r\n",
        "プログラム（2行目）の「開始予定」\"13\" を読めません。「9:30」「13:00」のように書いてください。");
    csv("session changeover past 16 bits", "転換,546:08\ntime\n1:00\n",
        "プログラム（1行目）の「発表間の切り替え」\"546:08\" は 0:00〜546:07 の範囲にありません。");
    csv("session title too long", "session," + QString(201, u'題').toUtf8() + "\ntime\n1:00\n",
        "プログラム（1行目）の「表題」は 200 文字までです（201 文字あります）。");
    csv("session key unknown", "セッション,A,会場,B\ntime\n1:00\n",
        "プログラム（1行目）の 3 列目 \"会場\" はセッション行の項目ではありません"
        "（書けるのは session／セッション、start／開始、changeover／転換 です）。");
    csv("session key twice", "start,9:00,開始,10:00\ntime\n1:00\n",
        "プログラム（1行目）に「開始」が二つあります（1 列目と 3 列目）。");
}

void ProgrammeFileTest::refusals()
{
    QFETCH(bool, isCsv);
    QFETCH(QByteArray, file);
    QFETCH(QString, message);
    const Result<Programme> read = isCsv ? readProgrammeCsv(file, kFolder) : readProgrammeJson(file, kFolder);
    QCOMPARE(read.error(), message);
}

void ProgrammeFileTest::csv_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("talks");
    QTest::addColumn<QString>("session");
    QTest::newRow("English, LF, bell columns missing: not given")
        << QByteArray("title,speaker,Affiliation,time\nOpening,Chair,Podium Inc.,5\n")
        << QStringList{"Opening|Chair（Podium Inc.）|5:00|-,-,-"} << "|-|-";
    // Before the header, in pairs: an empty value or an empty pair (a spreadsheet's padding) is as
    // if absent.
    QTest::newRow("session line: English keys in any case and order, an empty value as if absent")
        << QByteArray("Start,23:59,changeover,,SESSION ,Morning,転換,0:30\ntime\n5\n")
        << QStringList{"||5:00|-,-,-"} << "Morning|23:59|0:30";
    QTest::newRow("session line in Japanese, typed as an office does")
        << QByteArray(
               "\xEF\xBB\xBF"
               "セッション,午後の部,,,開始,０９：０５,転換,1分30秒,,\r\n演題,時間,,,,\r\n一,12:00,,,,\r\n")
        << QStringList{"一||12:00|-,-,-"} << "午後の部|9:05|1:30";
    QTest::newRow("Japanese, any order, CRLF, blank rows and other columns, empty bell off")
        << QByteArray("\xEF\xBB\xBF"
                      "予鈴1,会場,時間,演題,予鈴3\r\n\r\n2:00,A,12:00,深層学習,\r\n,,,,\r\n3:00,B,15:00,"
                      "招待講演,0:30\r\n\r\n")
        << QStringList{"深層学習||12:00|2:00,-,off", "招待講演||15:00|3:00,-,0:30"} << "|-|-";
    // As an office types them: full-width, with 分 and 秒, or a spreadsheet's duration.
    QTest::newRow("times typed in Japanese")
        << QByteArray("演題,時間,予鈴1,予鈴2\n一,１５,３：００,\n二,12分30秒,2分,45秒\n三,0:12:30,0:01:00,\n")
        << QStringList{"一||15:00|3:00,off,-", "二||12:30|2:00,0:45,-", "三||12:30|1:00,off,-"} << "|-|-";
    QTest::newRow("quoted commas, quotes and line breaks; headings with blanks and capitals")
        << QByteArray(
               " Title ,SPEAKER,Time,bell2\n\"Cats, \"\"dogs\"\"\nand more\",\"Sato, H.\",\"10:00\",\"\"\n"
               "plain \"quote\",x,1:00,0:45")
        << QStringList{"Cats, \"dogs\"\nand more|Sato, H.|10:00|-,off,-", "plain \"quote\"|x|1:00|-,0:45,-"}
        << "|-|-";
}

void ProgrammeFileTest::csv()
{
    QFETCH(QByteArray, file);
    QFETCH(QStringList, talks);
    QFETCH(QString, session);
    const Result<Programme> read = readProgrammeCsv(file, kFolder);
    QVERIFY2(read.ok(), qPrintable(read.error()));
    QStringList described;
    for (const ProgrammeTalk &talk : read->talks)
        described << describe(talk);
    QCOMPARE(described, talks);
    QCOMPARE(describeSession(*read), session);
}

void ProgrammeFileTest::shiftJis_data()
{
    QTest::addColumn<QString>("sessionLine");
    QTest::addColumn<QString>("session");
    QTest::newRow("talks alone") << QString() << "|-|-";
    QTest::newRow("with the session line") << "セッション,第①部～画像,開始,13:00,転換,2:00\r\n"
                                           << "第①部～画像|13:00|2:00";
}

void ProgrammeFileTest::shiftJis()
{
    QFETCH(QString, sessionLine);
    QFETCH(QString, session);
    // As Excel in Japan saves it: CP932, with its circled digits, full-width tilde and ㈱.
    const QString text = sessionLine + QStringLiteral("演題,発表者,所属,時間\r\n") +
                         QStringLiteral("①画像～音声の統合,髙橋 ～,㈱ポディウム,12:00\r\n");
    QStringEncoder encoder("Shift_JIS");
    const QByteArray bytes = encoder.encode(text);
    QVERIFY(!encoder.hasError());
    QVERIFY(bytes.contains("\x87\x40")); // ① where only CP932 has it
    const Result<Programme> read = readProgrammeCsv(bytes, kFolder);
    QVERIFY2(read.ok(), qPrintable(read.error()));
    QCOMPARE(describe(read->talks.value(0)),
             QStringLiteral("①画像～音声の統合|髙橋 ～（㈱ポディウム）|12:00|-,-,-"));
    QCOMPARE(describeSession(*read), session);
}

void ProgrammeFileTest::exampleFile()
{
    const QString path = QStringLiteral(PODIUMWATCH_SOURCE_DIR "/docs/example-programme.json");
    const Result<Programme> read = readProgrammeFile(path);
    QVERIFY2(read.ok(), qPrintable(read.error()));
    const Programme &programme = *read;
    QCOMPARE(programme.title, QStringLiteral("セッション A3 画像処理"));
    QCOMPARE(programme.start, std::optional<int>(13 * 60 + 30));
    QCOMPARE(programme.changeover, std::optional<int>(60));
    QCOMPARE(programme.talks.size(), 6);
    QCOMPARE(programme.messages.size(), 4);
    QCOMPARE(describe(programme.talks.at(1)),
             QStringLiteral("招待講演|佐藤 花子（東京大学）|25:00|5:00,1:00,off"));
    const QString docs = QFileInfo(path).absolutePath();
    QCOMPARE(prepareTalk(programme, 1, startUp()).bells[0].file, docs + "/sounds/gong.wav");
    // The example names sounds that are not in the repository: marked, not refused.
    QCOMPARE(missingSoundFiles(programme, 1),
             QStringList({docs + "/sounds/gong.wav", docs + "/sounds/end.wav"}));
    QCOMPARE(missingSoundFiles(programme, 0), QStringList());
}

void ProgrammeFileTest::roundTrip()
{
    QFile example(QStringLiteral(PODIUMWATCH_SOURCE_DIR "/docs/example-programme.json"));
    QVERIFY(example.open(QIODevice::ReadOnly));
    QByteArray text = example.readAll();
    // Fields of a later version at every level.
    text.replace(R"("version": 1,)", R"("version": 1, "venue": {"room": "A3"},)");
    text.replace(R"("defaults": {)", R"("defaults": {"changeover": "0:30", )");
    text.replace(R"("speaker": "佐藤 花子",)",
                 R"("speaker": "佐藤 花子", "invited": true, "affiliation": "東京大学",)");
    text.replace(R"("at": "5:00",)", R"("at": "5:00", "volume": 0.5,)");
    text.replace(R"("word": false, "bell")", R"("word": false, "blink": [1, 2], "bell")");
    const Result<Programme> first = readProgrammeJson(text, kFolder);
    QVERIFY2(first.ok(), qPrintable(first.error()));
    const QByteArray saved = programmeJson(*first);
    const Result<Programme> again = readProgrammeJson(saved, kFolder);
    QVERIFY2(again.ok(), qPrintable(again.error()));
    QCOMPARE(*again, *first);
    QCOMPARE(again->unknown.value(u"venue")[u"room"], QJsonValue("A3"));
    QCOMPARE(again->room, QString("A会場"));
    QCOMPARE(again->talks.at(1).bells[0].unknown.value(u"volume"), QJsonValue(0.5));
    // Fields in the order of the format's example.
    qsizetype at = -1;
    for (const char *key :
         {"format", "version", "title", "room", "start", "changeover", "defaults", "talks", "messages"}) {
        const qsizetype next = saved.indexOf('"' + QByteArray(key) + "\": ");
        QVERIFY2(next > at, key);
        at = next;
    }
    QVERIFY(
        saved.indexOf(R"("title": "招待講演", "speaker": "佐藤 花子", "affiliation": "東京大学", "time": )"
                      R"("25:00", "bells": [{ "at": "5:00")") > 0);
    // Only the two talks that have one: the others are saved without the field.
    QCOMPARE(saved.count(R"("affiliation")"), 2);

    // A spreadsheet saved as JSON prepares every talk the same.
    const Result<Programme> csv =
        readProgrammeCsv("time,title,予鈴1,予鈴3\n12:00,A,2:00,\n5:00,\"B, C\",,0:10\n", kFolder);
    QVERIFY(csv.ok());
    const Result<Programme> fromCsv = readProgrammeJson(programmeJson(*csv), kFolder);
    QVERIFY2(fromCsv.ok(), qPrintable(fromCsv.error()));
    for (int i = 0; i < 2; ++i)
        QCOMPARE(describe(prepareTalk(*fromCsv, i, startUp())), describe(prepareTalk(*csv, i, startUp())));
}

void ProgrammeFileTest::limits()
{
    const auto talks = [](int count) {
        QByteArrayList list;
        for (int i = 0; i < count; ++i)
            list << R"({"time": "1:00"})";
        return programmeWith(list.join(", "));
    };
    QVERIFY(readProgrammeJson(talks(200), kFolder).ok());
    QCOMPARE(readProgrammeJson(talks(201), kFolder).error(),
             QStringLiteral("発表は 200 件までです（201 件あります）。"));
    QByteArray csv = "time\n";
    for (int i = 0; i < 199; ++i)
        csv += "1:00\n";
    csv += "2:00\n";
    // All 200 read, the last one too.
    const Result<Programme> most = readProgrammeCsv(csv, kFolder);
    QVERIFY(most.ok());
    QCOMPARE(most->talks.size(), 200);
    QCOMPARE(most->talks.last().seconds, 120);
    QCOMPARE(readProgrammeCsv(csv + "1:00\n", kFolder).error(),
             QStringLiteral("発表は 200 件までです（201 件あります）。"));
    // A session line is no talk, and takes no talk's place; its title is as long as the JSON's.
    const Result<Programme> withSession =
        readProgrammeCsv("セッション," + QStringLiteral("𠮷").repeated(200).toUtf8() + "\n" + csv, kFolder);
    QVERIFY2(withSession.ok(), qPrintable(withSession.error()));
    QCOMPARE(withSession->talks.size(), 200);
    QCOMPARE(withSession->talks.last().seconds, 120);

    // Characters as a reader counts them: 𠮷 is one, though two in UTF-16.
    const auto talkWith = [](const char *field, const QString &text) {
        return readProgrammeJson(programmeWith(QStringLiteral(R"({"time": "1:00", "%1": "%2"})")
                                                   .arg(QLatin1StringView(field), text)
                                                   .toUtf8()),
                                 kFolder);
    };
    QVERIFY(talkWith("title", QString(200, u'題')).ok());
    QVERIFY(talkWith("title", QStringLiteral("𠮷").repeated(200)).ok());
    QCOMPARE(talkWith("title", QString(201, u'題')).error(),
             QStringLiteral("1番目の発表の「演題」は 200 文字までです（201 文字あります）。"));
    QVERIFY(talkWith("speaker", QString(100, u'者')).ok());
    QCOMPARE(talkWith("speaker", QStringLiteral("𠮷").repeated(101)).error(),
             QStringLiteral("1番目の発表の「発表者」は 100 文字までです（101 文字あります）。"));
    QVERIFY(talkWith("affiliation", QStringLiteral("𠮷").repeated(100)).ok());
    QCOMPARE(talkWith("affiliation", QString(101, u'属')).error(),
             QStringLiteral("1番目の発表の「所属」は 100 文字までです（101 文字あります）。"));

    const auto messages = [](int count, int length) {
        QStringList list(count, QString(length, u'あ'));
        return readProgrammeJson(
            programmeWith(R"({"time": "1:00"})",
                          R"("messages": [")" + list.join(R"(", ")").toUtf8() + R"("],)"),
            kFolder);
    };
    QVERIFY(messages(20, 80).ok());
    QCOMPARE(messages(21, 1).error(), QStringLiteral("メッセージは 20 件までです（21 件あります）。"));
    QCOMPARE(messages(3, 81).error(),
             QStringLiteral("1番目のメッセージは 80 文字までです（81 文字あります）。"));
}

void ProgrammeFileTest::fileLimitAndOddFiles()
{
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    // Padded with blanks to exactly 1 MiB, then one byte more.
    QByteArray text = programmeWith(R"({"time": "1:00"})");
    text += QByteArray(kLargestProgrammeFile - text.size(), ' ');
    const QString path = writeFile(folder.filePath("full.json"), text);
    const Result<Programme> full = readProgrammeFile(path);
    QVERIFY2(full.ok(), qPrintable(full.error()));
    QCOMPARE(full->folder, QDir(folder.path()).absolutePath());
    const QString tooLarge = QStringLiteral("ファイルが大きすぎます（発表プログラムは 1 MiB までです）。");
    QCOMPARE(readProgrammeFile(writeFile(folder.filePath("over.json"), text + ' ')).error(), tooLarge);
    QCOMPARE(readProgrammeCsv("time\n1:00\n" + QByteArray(kLargestProgrammeFile - 9, '\n'), kFolder).error(),
             tooLarge);

    // Neither the name's ending nor its absence stops a file from being read for what it holds.
    QVERIFY(readProgrammeFile(writeFile(folder.filePath("session.txt"), programmeWith(R"({"time": "1:00"})")))
                .ok());
    QVERIFY(readProgrammeFile(writeFile(folder.filePath("session"), "時間\n1:00\n")).ok());
    QCOMPARE(readProgrammeFile(folder.filePath("missing.json")).error(),
             QStringLiteral("ファイル「missing.json」が見つかりません。"));
#ifdef Q_OS_LINUX
    // A pipe nobody writes to would hold the window for ever if it were opened.
    const QString pipe = folder.filePath("pipe.csv");
    QCOMPARE(mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    QCOMPARE(readProgrammeFile(pipe).error(),
             QStringLiteral("「pipe.csv」は普通のファイルではないので読めません。"));
#endif
}

void ProgrammeFileTest::failedSaveKeepsTheOldFile()
{
#ifdef Q_OS_LINUX
    QTemporaryDir folder;
    const QString path = writeFile(folder.filePath("session.json"), programmeWith(R"({"time": "1:00"})"));
    const QByteArray before = programmeWith(R"({"time": "1:00"})");
    Programme programme = readProgrammeFile(path).value();
    programme.talks.first().title = QString(200, u'題');
    programme.talks = QList<ProgrammeTalk>(10, programme.talks.first());
    // A disk that fills up half-way through: files of this process cannot grow past 1 KiB.
    rlimit saved{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const rlimit small{1024, saved.rlim_max};
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
    const Result<> cut = saveProgrammeFile(programme, path);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    QCOMPARE(cut.error(),
             QStringLiteral("「session.json」に保存できなかったため、元のファイルはそのままです。"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), before);
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files), QStringList{"session.json"});
    const Result<> whole = saveProgrammeFile(programme, path);
    QVERIFY2(whole.ok(), qPrintable(whole.error()));
    QCOMPARE(readProgrammeFile(path).value(), programme);
#else
    QSKIP("the file size limit is a Linux matter here");
#endif
}

QTEST_APPLESS_MAIN(ProgrammeFileTest)
#include "tst_programmefile.moc"
