#pragma once

#include "programme/programme.h"

#include <QString>

// What the readers of the programme file, JSON and CSV, and the file's own reader share: the
// refusals each of them may give. Private to the programme library; its callers have
// programmefile.h.
namespace programmefile {

QString fieldMissing(const QString &place, const QString &field);
QString tooMany(const QString &what, int count, int most);
QString tooLarge();
QString noTalks();
Result<Programme> refused(const QString &message);

} // namespace programmefile
