#include "engine/colortable.h"
#include "engine/guarded.h"
#include "forms/slave.h"
#include "forms/viewer.h"
#include "platform/platform.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>

namespace {

// The year the notice's range starts from; the range ends with the year the program starts in.
constexpr int kFirstCopyrightYear = 2026;

} // namespace

QString Viewer::dataPath(const QString &folder, const QString &file) const
{
    const QChar separator = QDir::separator();
    return platform_.programFolder() + separator + QStringLiteral("DATA") + separator + folder + separator +
           file;
}

void Viewer::Form_Load()
{
    static const std::pair<const char *, const char *> pictures[] = {{"Img_Start", "Start.jpg"},
                                                                     {"Img_ReStart", "ReStart.jpg"},
                                                                     {"Img_Stop", "Stop.jpg"},
                                                                     {"Img_Pause", "Pause.jpg"}};
    for (const auto &[image, file] : pictures) {
        guarded([&] {
            const QString path = dataPath(QStringLiteral("BackData"), QString::fromLatin1(file));
            // Only a regular file: a pipe or device under that name would block start-up.
            QPixmap picture;
            if (QFileInfo(path).isFile() && picture.load(path))
                label(QString::fromLatin1(image))->setPixmap(picture);
        });
    }

    static const std::pair<const char *, const char *> sounds[] = {{"Txt_Alerm_Files", "QOR_Sound00.wav"},
                                                                   {"Txt_Bell1_Files", "QOR_Sound01.wav"},
                                                                   {"Txt_Bell2_Files", "QOR_Sound02.wav"},
                                                                   {"Txt_Bell3_Files", "QOR_Sound03.wav"}};
    for (const auto &[box, file] : sounds) {
        guarded([&] {
            const QString path = dataPath(QStringLiteral("Sound"), QString::fromLatin1(file));
            textBox(QString::fromLatin1(box))->setText(path);
            platform_.preloadSound(path);
        });
    }

    for (const char *frame : {"Frm_Bell1", "Frm_Bell2", "Frm_Bell3", "Frm_Alert", "Frm_Button"})
        guarded([&] { control(QString::fromLatin1(frame))->hide(); });

    static const std::pair<const char *, const char16_t *> lists[] = {
        {"Cmb_BC_Bell1", u"黄"}, {"Cmb_FC_Bell1", u"黒"}, {"Cmb_BC_Bell2", u"赤"}, {"Cmb_FC_Bell2", u"白"},
        {"Cmb_BC_Bell3", u"青"}, {"Cmb_FC_Bell3", u"白"}, {"Cmb_BC_Alert", u"赤"}, {"Cmb_FC_Alert", u"白"}};
    for (const auto &[list, selected] : lists) {
        auto *combo = control<QComboBox>(QString::fromLatin1(list));
        for (const NamedColor &entry : kColorTable)
            guarded([&] { combo->addItem(QString::fromUtf16(entry.name)); });
        guarded([&] { combo->setCurrentText(QString::fromUtf16(selected)); });
    }

    guarded([&] {
        setWindowTitle(QStringLiteral("【ポディウムウォッチ】 (Ver.%1.%2.%3.)")
                           .arg(PODIUMWATCH_VERSION_MAJOR)
                           .arg(PODIUMWATCH_VERSION_MINOR)
                           .arg(PODIUMWATCH_VERSION_PATCH) +
                       tagLine());
    });

    guarded([&] {
        const int year = platform_.now().date().year();
        label(QStringLiteral("Lbl_Copyright"))
            ->setText(QStringLiteral("ポディウムウォッチ Copyright (C) %1-%2 QOR")
                          .arg(kFirstCopyrightYear)
                          .arg(year, 4, 10, QLatin1Char('0')));
    });

    guarded([&] {
        // The window may go before the platform that reports to it.
        const QPointer<Viewer> self(this);
        platform_.watchSoundOutput([self](bool available) {
            if (self)
                self->showSoundOutput(available);
        });
    });
}

void Viewer::Form_Unload()
{
    setClockRunning(false);
    if (slave_)
        slave_->close();
}

void Viewer::Cmd_End_Click()
{
    setClockRunning(false);
    platform_.quit();
}

void Viewer::Lbl_Copyright_DblClick()
{
    platform_.showMessage(label(QStringLiteral("Lbl_Copyright"))->text(), QStringLiteral("Copyright"));
}
