#include "forms/colorcombobox.h"

#include <QAbstractItemView>
#include <QEvent>

void ColorComboBox::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::FontChange && findChild<QAbstractItemView *>() == nullptr) {
        QWidget::changeEvent(event);
        updateGeometry();
        return;
    }
    QComboBox::changeEvent(event);
}
