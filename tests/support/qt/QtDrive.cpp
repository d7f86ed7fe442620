// The user's actions on the Qt front end's widgets.
#include <QAbstractButton>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QListWidget>
#include <QTimer>

#include <algorithm>
#include <stdexcept>

#include "app/qt/QtToolkit.h"
#include "tests/support/Drive.h"

namespace testsupport {

void Click(ui::Button& button) {
  auto* widget = qobject_cast<QAbstractButton*>(&qtui::WidgetOf(button));
  if (widget == nullptr) throw std::logic_error("the button is no QAbstractButton");
  // QAbstractButton::click() already does nothing while disabled.
  if (widget->isHidden()) return;
  widget->click();
}

void ClickItem(ui::ListBox& list, int index) {
  auto* widget = qobject_cast<QListWidget*>(&qtui::WidgetOf(list));
  if (widget == nullptr) throw std::logic_error("the list box is no QListWidget");
  if (!widget->isEnabled() || widget->isHidden() || index < 0 || index >= widget->count()) return;
  list.SetItemIndex(index);
  if (list.OnClick) list.OnClick();
}

void SetClientSize(ui::Form& form, int width, int height) {
  QWidget& window = qtui::WidgetOf(form);
  // A fixed-size form keeps its size against resize(); it is fixed anew.
  if (window.minimumSize() == window.maximumSize()) {
    window.setFixedSize(width, height);
  } else {
    window.resize(width, height);
  }
}

bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  QElapsedTimer clock;
  clock.start();
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  while (!done()) {
    const qint64 left = limit.count() - clock.elapsed();
    if (left <= 0) return false;
    // Qt's loop for a short slice (timers, notifiers, posted events), then
    // the condition again.
    QEventLoop slice;
    QTimer::singleShot(static_cast<int>(std::min<qint64>(left, 2)), &slice, &QEventLoop::quit);
    slice.exec();
  }
  return true;
}

}  // namespace testsupport
