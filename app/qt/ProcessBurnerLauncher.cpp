#include "app/qt/ProcessBurnerLauncher.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>

namespace {

bool IsExecutableFile(const QString& path) {
  const QFileInfo info(path);
  return info.isFile() && info.isExecutable();
}

}  // namespace

QString ResolveProgram(const QString& name, const QString& applicationDirectory,
                       const QString& pathVariable) {
  if (name.isEmpty() || name.contains(QLatin1Char('/'))) return {};
  QStringList directories;
  if (QDir::isAbsolutePath(applicationDirectory)) directories << applicationDirectory;
  for (const QString& entry : pathVariable.split(QDir::listSeparator())) {
    if (QDir::isAbsolutePath(entry)) directories << entry;
  }
  for (const QString& directory : directories) {
    const QString candidate = QDir(directory).filePath(name);
    if (IsExecutableFile(candidate)) return QDir::cleanPath(candidate);
  }
  return {};
}

bool HasDisplay(const QProcessEnvironment& environment) {
  return !environment.value(QStringLiteral("DISPLAY")).isEmpty() ||
         !environment.value(QStringLiteral("WAYLAND_DISPLAY")).isEmpty();
}

LaunchCommand ConsoleCommand(const QString& resolvedProgram, const QString& argument,
                             bool haveDisplay, const QString& terminalEmulator) {
  if (!haveDisplay || terminalEmulator.isEmpty()) {
    return {resolvedProgram, {argument}};
  }
  // The program and its argument reach the script as "$@", never through
  // the script's text, so no name needs quoting. The burner's exit code is
  // kept.
  const QString keepOpen = QStringLiteral(
      "\"$@\"; status=$?; if [ \"$status\" -eq 0 ]; then "
      "printf '\\nPress Enter to close this window.\\n'; read -r answer; fi; exit \"$status\"");
  // Debian's terminal alternative takes the program and its arguments after -e.
  return {terminalEmulator,
          {QStringLiteral("-e"), QStringLiteral("/bin/sh"), QStringLiteral("-c"), keepOpen,
           QStringLiteral("mcuprog-console"), resolvedProgram, argument}};
}

LaunchResult ProcessBurnerLauncher::Launch(const std::string& programName,
                                           const std::string& argumentText) {
  const QString program = QString::fromStdString(programName);
  const QString argument = QString::fromStdString(argumentText);
  const QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  const QString path = environment.value(QStringLiteral("PATH"));
  const QString resolved = ResolveProgram(program, QCoreApplication::applicationDirPath(), path);
  if (resolved.isEmpty()) {
    return {false, programName + " was found neither beside kbupdate nor on PATH"};
  }
  // Even when kbupdate was started from a terminal, the burner gets a console
  // of its own: kbupdate ends right away, and the burner would be left
  // competing with the shell for that terminal's input.
  const bool haveDisplay = HasDisplay(environment);
  QString terminal;
  if (haveDisplay) {
    terminal = ResolveProgram(QStringLiteral("x-terminal-emulator"), QString(), path);
    if (terminal.isEmpty()) terminal = ResolveProgram(QStringLiteral("xterm"), QString(), path);
  }
  const LaunchCommand command = ConsoleCommand(resolved, argument, haveDisplay, terminal);
  QProcess process;
  process.setProgram(command.program);
  process.setArguments(command.arguments);
  if (!process.startDetached()) {
    return {false, process.errorString().toStdString()};
  }
  return {true, {}};
}
