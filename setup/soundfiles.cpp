// The four sounds (the over-time alarm and the three bells): choosing a file and hearing it. One
// implementation for the four rows, parameterised by the row's path box.

#include "forms/viewer.h"
#include "platform/platform.h"

#include <QLineEdit>

void Viewer::chooseSoundFile(QLineEdit *box)
{
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
    chooseSoundFile(Txt_Alerm_Files);
}

void Viewer::Cmd_Bell1_Files_Click()
{
    chooseSoundFile(bell(1).sound);
}

void Viewer::Cmd_Bell2_Files_Click()
{
    chooseSoundFile(bell(2).sound);
}

void Viewer::Cmd_Bell3_Files_Click()
{
    chooseSoundFile(bell(3).sound);
}

// A preview plays the path exactly as it stands, an empty one included; the player decides what
// can be heard.
void Viewer::Cmd_PlaySound_Alerm_Click()
{
    platform_.playSound(Txt_Alerm_Files->text());
}

void Viewer::Cmd_PlaySound1_Click()
{
    platform_.playSound(bell(1).sound->text());
}

void Viewer::Cmd_PlaySound2_Click()
{
    platform_.playSound(bell(2).sound->text());
}

void Viewer::Cmd_PlaySound3_Click()
{
    platform_.playSound(bell(3).sound->text());
}
