#include "app/qt/QtToolkit.h"

#include <QApplication>
#include <QDialog>
#include <QEventLoop>
#include <QMessageBox>
#include <QTimer>

#include <stdexcept>

#include "app/qt/Application.h"
#include "app/qt/QtForm.h"
#include "app/qt/QtSaveDialog.h"

// The picture lives in this library's resources; a static library needs
// them registered by hand.
static void InitFormResources() {
  Q_INIT_RESOURCE(kbupdate);
}

namespace qtui {

QtToolkit::QtToolkit() {
  InitFormResources();
}

QtToolkit::~QtToolkit() = default;

std::unique_ptr<ui::Form> QtToolkit::MakeForm(const ui::FormLayout& layout, ui::Form* owner) {
  return std::make_unique<QtForm>(layout, owner == nullptr ? nullptr : &WidgetOf(*owner));
}

void QtToolkit::RunModal(ui::Form& dialog) {
  QWidget& window = WidgetOf(dialog);
  if (auto* modal = qobject_cast<QDialog*>(&window)) {
    modal->exec();
    return;
  }
  // A main window run modally: until it is closed.
  window.setWindowModality(Qt::ApplicationModal);
  window.show();
  QEventLoop loop;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
    if (!window.isVisible()) loop.quit();
  });
  poll.start(10);
  loop.exec();
}

std::optional<std::string> QtToolkit::AskSaveFileName(const ui::SaveDialogOptions& layout,
                                                      ui::Form& owner) {
  return qtui::AskSaveFileName(&WidgetOf(owner), layout);
}

void QtToolkit::ShowError(std::string_view message) {
  const QString text = QString::fromUtf8(message.data(), static_cast<qsizetype>(message.size()));
  if (auto* application = dynamic_cast<TApplication*>(QCoreApplication::instance())) {
    application->ReportError(text);
    return;
  }
  QMessageBox::critical(QApplication::activeWindow(), QCoreApplication::applicationName(), text);
}

std::string QtToolkit::ProgramDirectory() const {
  return QCoreApplication::applicationDirPath().toStdString();
}

QWidget& WidgetOf(const ui::Form& form) {
  const auto* holder = dynamic_cast<const WidgetHolder*>(&form);
  if (holder == nullptr || holder->Widget() == nullptr) {
    throw std::logic_error("the form was not made by the Qt toolkit");
  }
  return *holder->Widget();
}

QWidget& WidgetOf(const ui::Control& control) {
  const auto* holder = dynamic_cast<const WidgetHolder*>(&control);
  if (holder == nullptr) throw std::logic_error("the control was not made by the Qt toolkit");
  return *holder->Widget();
}

QTimer& TimerOf(const ui::Timer& timer) {
  auto* qtTimer = dynamic_cast<QtTimer*>(const_cast<ui::Timer*>(&timer));
  if (qtTimer == nullptr) throw std::logic_error("the timer was not made by the Qt toolkit");
  return qtTimer->Timer();
}

}  // namespace qtui
