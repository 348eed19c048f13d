#include "session/sessionparts.h"

#include "forms/viewer.h"
#include "session/programmewindow.h"

#include <QMenu>

SessionParts::SessionParts(Viewer &viewer, Platform &platform)
    : QObject(nullptr), viewer_(viewer), platform_(platform), programme_(viewer, message_, platform)
{
    ShownFeed &feed = viewer.feed();
    feed.addPart(this, [this](Shown &shown) { programme_.describe(shown); });
    feed.addPart(this, [this](Shown &shown) { shown.message = message_.text(); });
    // Between talks the audience and the next speaker see who is next; a message has the band first.
    feed.addPart(this, [](Shown &shown) {
        if (!shown.message.isEmpty())
            shown.band = shown.message;
        else if (shown.state == RunState::Setup && shown.talk)
            shown.band = QStringList{QStringLiteral("次の発表"), shown.talk->title,
                                     speakerWithAffiliation(shown.talk->speaker, shown.talk->affiliation)}
                             .join(u'　')
                             .trimmed();
    });
    connect(&programme_, &ProgrammeSession::changed, &feed, &ShownFeed::refresh);
    connect(&message_, &SpeakerMessage::changed, &feed, &ShownFeed::refresh);
    feed.refresh();
    // The session's times move with the clock even while the display stands still (paused, or
    // between talks): what the screens show is looked at again every second.
    clock_.setInterval(1000);
    connect(&clock_, &QTimer::timeout, &feed, &ShownFeed::refresh);
    clock_.start();

    // The window may outlive these parts by a moment: what it was given asks first.
    const QPointer<SessionParts> self(this);
    const auto withProgramme = [self] { return self && self->programme_.model().hasProgramme(); };
    viewer.addKeyAction(
        114, [self] { return !self.isNull(); }, [self] { self->showProgrammeWindow(); }); // F3
    viewer.addKeyAction(33, withProgramme, [self] { self->programme_.previous(); });      // PageUp
    viewer.addKeyAction(34, withProgramme, [self] { self->programme_.next(); });          // PageDown
    viewer.addCloseCheck([self] { return !self || self->programme_.settleUnsaved(); });
    connect(&viewer, &Viewer::contextMenuOpening, this, [this](QMenu *menu) {
        menu->addAction(QStringLiteral("プログラム…"), this, &SessionParts::showProgrammeWindow);
    });
    // Every window goes with the main one; none keeps the program running behind the chair's back.
    connect(&viewer, &Viewer::closed, this, [this] {
        if (window_)
            window_->hide();
    });
}

SessionParts::~SessionParts()
{
    delete window_.data();
}

void SessionParts::showProgrammeWindow()
{
    if (!window_)
        window_ = new ProgrammeWindow(viewer_, programme_, message_, platform_);
    window_->show();
    window_->raise();
    window_->activateWindow();
}
