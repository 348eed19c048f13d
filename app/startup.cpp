#include "engine/colortable.h"
#include "forms/clicklabel.h"
#include "forms/slave.h"
#include "forms/viewer.h"
#include "platform/platform.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
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

// Each step stands alone: a picture or a sound that is missing costs that picture or sound and
// nothing else.
void Viewer::Form_Load()
{
    const std::pair<ClickLabel *, const char *> pictures[] = {{Img_Start, "Start.jpg"},
                                                              {Img_ReStart, "ReStart.jpg"},
                                                              {Img_Stop, "Stop.jpg"},
                                                              {Img_Pause, "Pause.jpg"}};
    for (const auto &[image, file] : pictures) {
        const QString path = dataPath(QStringLiteral("BackData"), QString::fromLatin1(file));
        // Only a regular file: a pipe or device under that name would block start-up.
        QPixmap picture;
        if (QFileInfo(path).isFile() && picture.load(path))
            image->setPixmap(picture);
    }

    const std::pair<QLineEdit *, const char *> sounds[] = {{Txt_Alerm_Files, "QOR_Sound00.wav"},
                                                           {bell(1).sound, "QOR_Sound01.wav"},
                                                           {bell(2).sound, "QOR_Sound02.wav"},
                                                           {bell(3).sound, "QOR_Sound03.wav"}};
    for (const auto &[box, file] : sounds) {
        const QString path = dataPath(QStringLiteral("Sound"), QString::fromLatin1(file));
        box->setText(path);
        platform_.preloadSound(path);
    }

    for (QGroupBox *frame : settingFrames())
        frame->hide();

    const std::pair<QComboBox *, const char16_t *> lists[] = {
        {bell(1).back, u"黄"}, {bell(1).fore, u"黒"}, {bell(2).back, u"赤"}, {bell(2).fore, u"白"},
        {bell(3).back, u"青"}, {bell(3).fore, u"白"}, {Cmb_BC_Alert, u"赤"}, {Cmb_FC_Alert, u"白"}};
    for (const auto &[list, selected] : lists) {
        for (const NamedColor &entry : kColorTable)
            list->addItem(QString::fromUtf16(entry.name));
        list->setCurrentText(QString::fromUtf16(selected));
    }

    setWindowTitle(QStringLiteral("【ポディウムウォッチ】 (Ver.%1.%2.%3.)")
                       .arg(PODIUMWATCH_VERSION_MAJOR)
                       .arg(PODIUMWATCH_VERSION_MINOR)
                       .arg(PODIUMWATCH_VERSION_PATCH) +
                   tagLine());

    const int year = platform_.now().date().year();
    Lbl_Copyright->setText(QStringLiteral("ポディウムウォッチ Copyright (C) %1-%2 QOR")
                               .arg(kFirstCopyrightYear)
                               .arg(year, 4, 10, QLatin1Char('0')));

    // The window may go before the platform that reports to it.
    const QPointer<Viewer> self(this);
    platform_.watchSoundOutput([self](bool available) {
        if (self)
            self->showSoundOutput(available);
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
    // What the other parts would lose is asked about first, as when the window is closed; with
    // nothing to lose the program ends at once.
    if (!mayEnd())
        return;
    setClockRunning(false);
    platform_.quit();
}

void Viewer::Lbl_Copyright_DblClick()
{
    platform_.showMessage(Lbl_Copyright->text(), QStringLiteral("Copyright"));
}
