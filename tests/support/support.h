#pragma once

#include "forms/viewer.h"

#include <QApplication>
#include <QTest>
#include <QWidget>
#include <stdexcept>

// How long a test waits for something that should happen at once (a window to become active, the
// focus to move) before it gives up: long enough for a machine busy with other work.
inline constexpr int kPatienceMs = 30'000;

// Gives the widget the keyboard focus; false when it never arrives.
[[nodiscard]] inline bool focusOn(QWidget *widget)
{
    widget->setFocus();
    return QTest::qWaitFor([widget] { return QApplication::focusWidget() == widget; }, kPatienceMs);
}

// Looks a control up by name; a missing control (or one of another kind) fails the test with
// its name rather than crashing it.
template <class T> T *ctl(const QWidget &window, const QString &name)
{
    T *found = window.findChild<T *>(name);
    if (!found)
        throw std::runtime_error("no control of the expected kind named " + name.toStdString());
    return found;
}

// A window or a control of that name in whichever top-level window holds it (the programme
// window's, say); nullptr when none does.
template <class T> T *inSomeWindow(const QString &name)
{
    for (QWidget *top : QApplication::topLevelWidgets()) {
        if (auto *window = qobject_cast<T *>(top); window && top->objectName() == name)
            return window;
        if (T *found = top->findChild<T *>(name))
            return found;
    }
    return nullptr;
}

inline void run(Viewer &viewer, const char *handler)
{
    if (!QMetaObject::invokeMethod(&viewer, handler, Qt::DirectConnection))
        throw std::runtime_error(std::string("no handler ") + handler);
}
