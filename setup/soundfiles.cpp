// The four sounds (the over-time alarm and the three bells): choosing a file and hearing it. One
// implementation for the four rows, parameterised by the row's path box.

#include "forms/viewer.h"
#include "platform/platform.h"

#include <QLineEdit>

void Viewer::chooseSoundFile(const QString &pathBox)
{
    QLineEdit *box = textBox(pathBox);
    const std::optional<QString> chosen = platform_.chooseWavFile(box->text());
    if (!chosen) {
        platform_.showMessage(QStringLiteral("ユーザーによりキャンセルされました。\r\n処理を中止します。"),
                              programTitle());
        return;
    }
    box->setText(*chosen);
    platform_.preloadSound(*chosen);
    platform_.showMessage(QStringLiteral("以下のファイルを音源に設定しました。\r\n") + box->text(),
                          programTitle());
}

void Viewer::Cmd_Alerm_Files_Click()
{
    chooseSoundFile(QStringLiteral("Txt_Alerm_Files"));
}

void Viewer::Cmd_Bell1_Files_Click()
{
    chooseSoundFile(QStringLiteral("Txt_Bell1_Files"));
}

void Viewer::Cmd_Bell2_Files_Click()
{
    chooseSoundFile(QStringLiteral("Txt_Bell2_Files"));
}

void Viewer::Cmd_Bell3_Files_Click()
{
    chooseSoundFile(QStringLiteral("Txt_Bell3_Files"));
}

// A preview plays the path exactly as it stands, an empty one included; the player decides what
// can be heard.
void Viewer::Cmd_PlaySound_Alerm_Click()
{
    playSoundOf(QStringLiteral("Txt_Alerm_Files"));
}

void Viewer::Cmd_PlaySound1_Click()
{
    playSoundOf(QStringLiteral("Txt_Bell1_Files"));
}

void Viewer::Cmd_PlaySound2_Click()
{
    playSoundOf(QStringLiteral("Txt_Bell2_Files"));
}

void Viewer::Cmd_PlaySound3_Click()
{
    playSoundOf(QStringLiteral("Txt_Bell3_Files"));
}
