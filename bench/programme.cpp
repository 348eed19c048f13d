// Opening a programme of 200 talks, the most a programme holds: the file read and every field
// checked, as JSON, as CSV in UTF-8 and in Shift_JIS, files at the 1 MiB limit (JSON, and CSV
// made of nothing but line ends or commas), and the table taking it (which also looks for every
// sound file it names). Goal 50 ms each. Run with
//   build/dev/bench/bench_programme --benchmark_repetitions=5 --benchmark_report_aggregates_only=true

#include "programme/programmefile.h"
#include "programme/programmemodel.h"

#include <QCoreApplication>
#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

QString title(int i)
{
    return QStringLiteral("深層学習を用いた製造ラインにおける外観検査の自動化と、その評価 第%1報").arg(i);
}

QString speaker(int i)
{
    return QStringLiteral("山田 太郎（東京大学 大学院情報理工学系研究科）%1").arg(i);
}

// Every other talk with bells of its own, every fourth with an alert and sound files.
QByteArray jsonProgramme(int padding)
{
    QByteArrayList talks;
    for (int i = 1; i <= kMostTalks; ++i) {
        QByteArray talk = R"({ "title": ")" + title(i).toUtf8() + R"(", "speaker": ")" + speaker(i).toUtf8() +
                          R"(", "time": "12:00")";
        if (i % 2 == 0) {
            talk +=
                R"(, "bells": [{ "at": "3:00", "sound": true, "colours": true, "background": "黄", "text": "黒", )"
                R"("file": "sounds/gong.wav" }, "1:00", null])";
        }
        if (i % 4 == 0)
            talk +=
                R"(, "alert": { "colours": true, "word": false, "bell": true, "file": "sounds/end.wav" })";
        talks << talk + " }";
    }
    return R"({ "format": "podiumwatch-programme", "version": 1, "title": "セッション A3", "start": "9:30", )"
           R"("changeover": "1:00", "defaults": { "bells": ["2:00", "0:00", null] }, "notes": ")" +
           QByteArray(padding, 'x') + R"(", "talks": [)" + talks.join(",\n") + "] }";
}

QString csvProgramme()
{
    QString csv = QStringLiteral("演題,発表者,時間,予鈴1,予鈴2,予鈴3\r\n");
    for (int i = 1; i <= kMostTalks; ++i)
        csv += QStringLiteral("\"%1\",\"%2\",12:00,3:00,1:00,\r\n").arg(title(i), speaker(i));
    return csv;
}

struct Files {
    QTemporaryDir folder;
    QString json, csv, shiftJis, largest, lines, commas, talks, values;

    Files()
    {
        json = write("session.json", jsonProgramme(0));
        csv = write("session.csv", csvProgramme().toUtf8());
        QStringEncoder encoder("Shift_JIS");
        shiftJis = write("session-sjis.csv", encoder.encode(csvProgramme()));
        const qsizetype size = jsonProgramme(0).size();
        largest = write("largest.json", jsonProgramme(static_cast<int>(kLargestProgrammeFile - size)));
        // The spreadsheets that cost most to take apart: a record on every byte, a cell on every byte.
        const QByteArray talk = "time\n12:00\n";
        lines = write("lines.csv", talk + QByteArray(kLargestProgrammeFile - talk.size(), '\n'));
        commas = write("commas.csv", talk + QByteArray(kLargestProgrammeFile - talk.size(), ','));
        // Far too many talks, refused only once counted; an unknown field of half a million values.
        talks = write("talks.csv", "time\n" + QByteArray("1\n").repeated((kLargestProgrammeFile - 5) / 2));
        const QByteArray start =
            R"({"format": "podiumwatch-programme", "version": 1, "talks": [{"time": "1"}], "x": [0)";
        values =
            write("values.json",
                  start + QByteArray(",0").repeated((kLargestProgrammeFile - start.size() - 2) / 2) + "]}");
    }
    QString write(const char *name, const QByteArray &bytes)
    {
        QFile file(folder.filePath(QString::fromLatin1(name)));
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            qFatal("cannot write %s", name);
        return file.fileName();
    }
};

Files &files()
{
    static Files made;
    return made;
}

// `talks`: how many the file is read with; 0 when it is refused.
void open(benchmark::State &state, const QString &path, qsizetype talks = kMostTalks)
{
    for (auto _ : state) {
        const Result<Programme> read = readProgrammeFile(path);
        if (read.ok() != (talks > 0) || (read && read->talks.size() != talks)) {
            state.SkipWithError(qPrintable(read.error()));
            return;
        }
        benchmark::DoNotOptimize(read ? read->talks.constData() : nullptr);
    }
    state.SetLabel(QStringLiteral("%1 KiB").arg(QFileInfo(path).size() / 1024).toStdString());
}

void openJson(benchmark::State &state)
{
    open(state, files().json);
}
BENCHMARK(openJson)->Unit(benchmark::kMillisecond);

void openCsv(benchmark::State &state)
{
    open(state, files().csv);
}
BENCHMARK(openCsv)->Unit(benchmark::kMillisecond);

void openCsvShiftJis(benchmark::State &state)
{
    open(state, files().shiftJis);
}
BENCHMARK(openCsvShiftJis)->Unit(benchmark::kMillisecond);

void openJsonAtTheLimit(benchmark::State &state)
{
    open(state, files().largest);
}
BENCHMARK(openJsonAtTheLimit)->Unit(benchmark::kMillisecond);

void openCsvEmptyLines(benchmark::State &state)
{
    open(state, files().lines, 1);
}
BENCHMARK(openCsvEmptyLines)->Unit(benchmark::kMillisecond);

void openCsvEmptyCells(benchmark::State &state)
{
    open(state, files().commas, 1);
}
BENCHMARK(openCsvEmptyCells)->Unit(benchmark::kMillisecond);

void openCsvTooManyTalks(benchmark::State &state)
{
    open(state, files().talks, 0);
}
BENCHMARK(openCsvTooManyTalks)->Unit(benchmark::kMillisecond);

void openJsonManyValues(benchmark::State &state)
{
    open(state, files().values, 1);
}
BENCHMARK(openJsonManyValues)->Unit(benchmark::kMillisecond);

void openIntoTable(benchmark::State &state)
{
    ProgrammeDocument document;
    const ProgrammeModel model(document);
    for (auto _ : state) {
        if (const Result<> opened = document.open(files().json); !opened) {
            state.SkipWithError(qPrintable(opened.error()));
            return;
        }
    }
}
BENCHMARK(openIntoTable)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
