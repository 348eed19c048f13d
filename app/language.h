#pragma once

// Qt's own texts (the file dialog's 開く, キャンセル and ファイル名, the buttons of its boxes) in
// Japanese whatever the system's language, like the rest of the program. Looks for Qt's
// translations where Qt is installed and in "translations" beside the executable (where a
// deployment on Windows or macOS puts them); false when none was found, and the texts stay
// Qt's English.
bool useJapaneseQtTexts();
