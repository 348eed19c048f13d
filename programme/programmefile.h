#pragma once

#include "programme/programme.h"

#include <QByteArray>
#include <QString>

// The programme file: JSON ("format": "podiumwatch-programme", "version": 1), or a spreadsheet's
// CSV to import. Saving always writes JSON.

inline constexpr qint64 kLargestProgrammeFile = 1024 * 1024;
inline constexpr int kProgrammeVersion = 1;
inline constexpr QLatin1StringView kProgrammeFormat("podiumwatch-programme");

// A refused file gives no programme, only one Japanese sentence saying why.
// `folder` is where the file's relative sound paths are found.
Result<Programme> readProgrammeJson(const QByteArray &bytes, const QString &folder);
// A header row names the columns (English or Japanese, any order); UTF-8 with or without BOM, or
// Shift_JIS as Excel writes it in Japan.
Result<Programme> readProgrammeCsv(const QByteArray &bytes, const QString &folder);
// JSON or CSV by the name's ending (.json, .csv), else by what the file holds. One bounded read:
// a file beyond the limit, a device or a pipe is refused without being read.
Result<Programme> readProgrammeFile(const QString &path);

// The JSON text, fields in the order of the format's example, unknown fields after the known.
QByteArray programmeJson(const Programme &programme);
// The programme as it would be saved at `path`: when it moves to another folder, the sound files
// it names by a relative path are named by their absolute path, so that they are still found.
Programme programmeSavedAt(const Programme &programme, const QString &path);
// Written whole or not at all (QSaveFile): on failure the old file stays as it was and the
// Japanese message says so.
Result<> saveProgrammeFile(const Programme &programme, const QString &path);
