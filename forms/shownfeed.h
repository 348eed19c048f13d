#pragma once

#include "forms/shown.h"

#include <QObject>
#include <QPointer>
#include <functional>
#include <vector>

// What the audience's screens show, composed from its parts (the window's display first, then
// whatever the parts of the program add: the talk, the session, the message) and published once
// for every change. The projector, the remote pages and the programme window follow this one signal,
// so none of them can show a mix of an old part and a new one.
class ShownFeed : public QObject {
    Q_OBJECT
public:
    using Part = std::function<void(Shown &shown)>;
    using QObject::QObject;

    // Parts compose in the order added; each sees what those before it wrote. A part goes with its
    // owner.
    void addPart(const QObject *owner, Part part);
    // Composed afresh, whether or not anything said it changed.
    Shown compose() const;
    // As last published.
    const Shown &current() const { return current_; }

public slots:
    // A part changed: composes, and publishes when what the screens show is not what they show.
    void refresh();

signals:
    void changed(const Shown &shown);

private:
    std::vector<std::pair<QPointer<const QObject>, Part>> parts_;
    Shown current_;
};
