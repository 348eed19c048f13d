#pragma once

#include <QChar>
#include <QString>

// A room's name, wherever one is taken: the command line, a programme, an announcement on the
// network, a room's answer to an overview and an overview's command. 1 to 40 characters on one
// line: no control character and no line or paragraph separator, which would split a tile's
// heading, a page's title or a line of a log.
inline constexpr qsizetype kLongestRoom = 40;

inline bool isRoomName(const QString &name)
{
    const QList<uint> characters = name.toUcs4();
    if (characters.isEmpty() || characters.size() > kLongestRoom)
        return false;
    for (const uint c : characters) {
        const QChar::Category category = QChar::category(static_cast<char32_t>(c));
        if (category == QChar::Other_Control || category == QChar::Separator_Line ||
            category == QChar::Separator_Paragraph)
            return false;
    }
    return true;
}
