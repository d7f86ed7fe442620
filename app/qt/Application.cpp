#include "app/qt/Application.h"

#include <QMessageBox>

#include <string_view>

#include "ui/HandlerGuard.h"

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
  setApplicationName(QStringLiteral("kbupdate"));
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
  bool handled = false;
  ui::RunGuarded(
      [&] { handled = QApplication::notify(receiver, event); },
      [this](std::string_view message) {
        ReportError(QString::fromUtf8(message.data(), static_cast<qsizetype>(message.size())));
      });
  return handled;
}

void TApplication::ReportError(const QString& message) {
  if (reporter_) {
    reporter_(message);
    return;
  }
  QMessageBox::critical(activeWindow(), applicationName(), message);
}
