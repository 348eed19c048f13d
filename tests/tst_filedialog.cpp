// The real open-file dialog of the platform: where it starts, what it offers, and what it gives
// back for a typed name.

#include "app/language.h"
#include "platform/qtplatform.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>

namespace {

// Long enough for a busy machine.
constexpr int kPatienceMs = 30000;

} // namespace

class FileDialogTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void startsAtTheRowsPathAndAcceptsANewName();
    void cancelIsReported();

private:
    // Runs `inspect` on the dialog once it is up. The result reads true once the dialog came up
    // and `inspect` succeeded; otherwise the dialog is cancelled, so the test fails instead of
    // waiting on it for ever.
    [[nodiscard]] static std::shared_ptr<bool> whenShown(const std::function<bool(QFileDialog *)> &inspect)
    {
        auto passed = std::make_shared<bool>(false);
        QTimer::singleShot(0, [inspect, passed] {
            QFileDialog *dialog = nullptr;
            const bool up = QTest::qWaitFor(
                [&dialog] {
                    dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
                    return dialog != nullptr;
                },
                kPatienceMs);
            if (!up)
                return;
            *passed = inspect(dialog);
            if (!*passed)
                dialog->reject();
        });
        return passed;
    }
};

void FileDialogTest::initTestCase()
{
    QVERIFY2(useJapaneseQtTexts(), "Qt's Japanese translation is not installed");
}

void FileDialogTest::startsAtTheRowsPathAndAcceptsANewName()
{
    QTemporaryDir folder;
    const QString current = folder.filePath(QStringLiteral("QOR_Sound02.wav"));
    QFile file(current);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();

    QtPlatform platform;
    QString directory, typed, suffix;
    QStringList filters, captions;
    bool existingOnly = true;
    const auto shown = whenShown([&](QFileDialog *dialog) {
        directory = dialog->directory().absolutePath();
        filters = dialog->nameFilters();
        suffix = dialog->defaultSuffix();
        existingOnly = dialog->fileMode() == QFileDialog::ExistingFile;
        for (const QWidget *widget : dialog->findChildren<QWidget *>()) {
            if (auto *button = qobject_cast<const QAbstractButton *>(widget))
                captions << button->text();
            else if (auto *label = qobject_cast<const QLabel *>(widget))
                captions << label->text();
        }
        auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        if (!name)
            return false;
        typed = name->text();
        // Typed as the operator types it, into the focused name box: no extension, and no such
        // file yet.
        if (!QTest::qWaitForWindowActive(dialog, kPatienceMs))
            return false;
        name->setFocus();
        if (!QTest::qWaitFor([name] { return name->hasFocus(); }, kPatienceMs))
            return false;
        name->selectAll();
        QTest::keyClicks(name, QStringLiteral("new bell"));
        QTest::keyClick(name, Qt::Key_Return);
        return true;
    });
    const std::optional<QString> chosen = platform.chooseWavFile(QDir::toNativeSeparators(current));
    QVERIFY(*shown);

    QCOMPARE(directory, QDir(folder.path()).absolutePath());
    QCOMPARE(typed, QStringLiteral("QOR_Sound02.wav"));
    QCOMPARE(filters, QStringList{QStringLiteral("WAVファイル (*.wav)")});
    QCOMPARE(suffix, QStringLiteral("wav"));
    QVERIFY(!existingOnly);
    // Qt's own texts in Japanese, as the rest of the program.
    for (const char16_t *wanted : {u"開く", u"キャンセル", u"ファイル名"}) {
        const QString text = QString::fromUtf16(wanted);
        QVERIFY2(std::any_of(captions.cbegin(), captions.cend(), [&](const QString &c) { return c.contains(text); }),
                 qPrintable(captions.join(u'|')));
    }
    QVERIFY(chosen.has_value());
    QCOMPARE(*chosen, QDir::toNativeSeparators(folder.filePath(QStringLiteral("new bell.wav"))));
}

void FileDialogTest::cancelIsReported()
{
    QtPlatform platform;
    const auto shown = whenShown([](QFileDialog *dialog) {
        dialog->reject();
        return true;
    });
    QVERIFY(!platform.chooseWavFile(QStringLiteral("/nonexistent/folder/x.wav")).has_value());
    QVERIFY(*shown);
}

QTEST_MAIN(FileDialogTest)
#include "tst_filedialog.moc"
