#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <cstdio>

// A line on standard error about something that may go wrong many times a second (a desk that
// sends rubbish, a cue target that is down): the first at once, so that the operator sees it when
// it starts, then at most one a minute, which sums up what happened since the line before. A flood
// costs a counter, never a flood of lines.
class Complaint : public QObject {
public:
    explicit Complaint(QString subject, QObject *parent = nullptr)
        : QObject(parent), subject_(std::move(subject))
    {
        later_.setSingleShot(true);
        connect(&later_, &QTimer::timeout, this, &Complaint::say);
    }

    // One more of `what` ("malformed", "failed"); `detail` is the last one's reason, said once.
    void add(const QString &what, const QString &detail = {})
    {
        ++counts_[what];
        if (!detail.isEmpty())
            detail_ = detail;
        if (!lastLine_.isValid() || lastLine_.elapsed() >= kMinuteMs)
            say();
        else if (!later_.isActive())
            later_.start(static_cast<int>(kMinuteMs - lastLine_.elapsed()));
    }

private:
    static constexpr qint64 kMinuteMs = 60000;

    void say()
    {
        if (counts_.isEmpty())
            return;
        QStringList parts;
        for (auto it = counts_.cbegin(); it != counts_.cend(); ++it)
            parts << QStringLiteral("%1 %2").arg(it.value()).arg(it.key());
        QString line =
            QStringLiteral("%1: %2: %3")
                .arg(QCoreApplication::applicationName(), subject_, parts.join(QStringLiteral(", ")));
        if (!detail_.isEmpty())
            line += QStringLiteral(" (last: %1)").arg(detail_);
        std::fputs(qPrintable(line + QLatin1Char('\n')), stderr);
        std::fflush(stderr);
        counts_.clear();
        detail_.clear();
        lastLine_.start();
    }

    QString subject_;
    QMap<QString, qint64> counts_; // since the last line
    QString detail_;
    QElapsedTimer lastLine_;
    QTimer later_{this};
};
