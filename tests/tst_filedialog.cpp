// The real open-file dialog of the platform: where it starts, what it offers, and what it gives
// back for a typed name.

#include "platform/qtplatform.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

class FileDialogTest : public QObject {
    Q_OBJECT

private slots:
    void startsAtTheRowsPathAndAcceptsANewName();
    void cancelIsReported();

private:
    // Runs `inspect` on the dialog once it is up, then lets it go.
    static void whenShown(const std::function<void(QFileDialog *)> &inspect)
    {
        QTimer::singleShot(0, [inspect] {
            QTRY_VERIFY(qobject_cast<QFileDialog *>(QApplication::activeModalWidget()));
            inspect(qobject_cast<QFileDialog *>(QApplication::activeModalWidget()));
        });
    }
};

void FileDialogTest::startsAtTheRowsPathAndAcceptsANewName()
{
    QTemporaryDir folder;
    const QString current = folder.filePath(QStringLiteral("QOR_Sound02.wav"));
    QFile file(current);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();

    QtPlatform platform;
    QString directory, typed, suffix;
    QStringList filters;
    bool existingOnly = true;
    whenShown([&](QFileDialog *dialog) {
        directory = dialog->directory().absolutePath();
        filters = dialog->nameFilters();
        suffix = dialog->defaultSuffix();
        existingOnly = dialog->fileMode() == QFileDialog::ExistingFile;
        auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        typed = name ? name->text() : QString();
        if (name) {
            // Typed as the operator types it, into the focused name box: no extension, and no
            // such file yet.
            QTRY_VERIFY(QTest::qWaitForWindowActive(dialog));
            name->setFocus();
            QTRY_VERIFY(name->hasFocus());
            name->selectAll();
            QTest::keyClicks(name, QStringLiteral("new bell"));
            QTest::keyClick(name, Qt::Key_Return);
        }
    });
    const std::optional<QString> chosen = platform.chooseWavFile(QDir::toNativeSeparators(current));

    QCOMPARE(directory, QDir(folder.path()).absolutePath());
    QCOMPARE(typed, QStringLiteral("QOR_Sound02.wav"));
    QCOMPARE(filters, QStringList{QStringLiteral("WAVファイル (*.wav)")});
    QCOMPARE(suffix, QStringLiteral("wav"));
    QVERIFY(!existingOnly);
    QVERIFY(chosen.has_value());
    QCOMPARE(*chosen, QDir::toNativeSeparators(folder.filePath(QStringLiteral("new bell.wav"))));
}

void FileDialogTest::cancelIsReported()
{
    QtPlatform platform;
    whenShown([](QFileDialog *dialog) { dialog->reject(); });
    QVERIFY(!platform.chooseWavFile(QStringLiteral("/nonexistent/folder/x.wav")).has_value());
}

QTEST_MAIN(FileDialogTest)
#include "tst_filedialog.moc"
