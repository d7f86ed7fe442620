// The application object. An exception that escapes an event handler ends
// here and is shown in the standard error box; the program goes on.
#pragma once

#include <QApplication>

#include <functional>

class TApplication : public QApplication {
 public:
  TApplication(int& argc, char** argv);

  bool notify(QObject* receiver, QEvent* event) override;

  // Shows the message of an exception that a handler let escape. Replaced
  // by tests so that no dialog waits for a person.
  using ErrorReporter = std::function<void(const QString& message)>;
  void SetErrorReporter(ErrorReporter reporter) { reporter_ = std::move(reporter); }
  void ReportError(const QString& message);

 private:
  ErrorReporter reporter_;
};
