#include "messages/speakermessage.h"

QString SpeakerMessage::normalized(const QString &text)
{
    QString line;
    line.reserve(text.size());
    for (const QChar c : text)
        line += c.category() == QChar::Other_Control || c == QChar::LineSeparator ||
                        c == QChar::ParagraphSeparator
                    ? QChar(u' ')
                    : c;
    line = line.trimmed();
    // Cut by characters as a reader counts them, never inside a pair of surrogates.
    qsizetype end = 0;
    for (int characters = 0; end < line.size() && characters < kLongestMessage; ++characters)
        end += line[end].isHighSurrogate() && end + 1 < line.size() ? 2 : 1;
    return line.left(end).trimmed();
}

bool SpeakerMessage::set(const QString &text)
{
    const QString line = normalized(text);
    if (line == text_)
        return false;
    text_ = line;
    emit changed(text_);
    return true;
}

QStringList SpeakerMessage::defaultSaved()
{
    return {QStringLiteral("あと5分です"), QStringLiteral("まとめに入ってください"),
            QStringLiteral("質疑応答に移ってください"), QStringLiteral("時間です")};
}
