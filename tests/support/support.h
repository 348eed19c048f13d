#pragma once

#include "forms/viewer.h"

#include <QTest>
#include <QWidget>
#include <stdexcept>

// Looks a control up by name; a missing control (or one of another kind) fails the test with
// its name rather than crashing it.
template <class T> T *ctl(const QWidget &window, const QString &name)
{
    T *found = window.findChild<T *>(name);
    if (!found)
        throw std::runtime_error("no control of the expected kind named " + name.toStdString());
    return found;
}

inline void run(Viewer &viewer, const char *handler)
{
    if (!QMetaObject::invokeMethod(&viewer, handler, Qt::DirectConnection))
        throw std::runtime_error(std::string("no handler ") + handler);
}
