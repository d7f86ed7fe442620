#include "app/ClientAreaFocus.h"

#include <QAbstractButton>
#include <QKeySequence>
#include <QRect>
#include <QWidget>

void KeepFocusInClientArea(QWidget& form) {
  const QRect clientArea = form.rect();
  for (QWidget* control : form.findChildren<QWidget*>()) {
    // Only controls of this window: a dialog it owns has its own area.
    if (control->window() != &form) continue;
    const QRect placed(control->mapTo(&form, QPoint(0, 0)), control->size());
    if (clientArea.contains(placed)) continue;
    control->setFocusPolicy(Qt::NoFocus);
    if (auto* button = qobject_cast<QAbstractButton*>(control)) button->setShortcut({});
  }
}
