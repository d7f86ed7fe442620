#include "app/BurnerLauncher.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>

QString BurnerProgramName() {
#ifdef _WIN32
  return QStringLiteral("mcuprog.exe");
#else
  return QStringLiteral("mcuprog");
#endif
}

QString FirmwarePathIn(const QString& directory) {
  return QDir(directory).filePath(QStringLiteral("USBKeyboard.MTP"));
}

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

LaunchCommand ConsoleCommand(const QString& resolvedProgram, const QString& argument,
                             bool haveTerminal, const QString& terminalEmulator) {
  if (haveTerminal || terminalEmulator.isEmpty()) {
    return {resolvedProgram, {argument}};
  }
  // Debian's terminal alternative takes the program and its arguments after -e.
  return {terminalEmulator, {QStringLiteral("-e"), resolvedProgram, argument}};
}

LaunchResult ProcessBurnerLauncher::Launch(const QString& program, const QString& argument) {
  const QString path = QProcessEnvironment::systemEnvironment().value(QStringLiteral("PATH"));
  const QString resolved = ResolveProgram(program, QCoreApplication::applicationDirPath(), path);
  if (resolved.isEmpty()) {
    return {false, QStringLiteral("%1 was found neither beside kbupdate nor on PATH").arg(program)};
  }
  const bool haveTerminal = isatty(STDIN_FILENO) == 1 && isatty(STDOUT_FILENO) == 1;
  QString terminal;
  if (!haveTerminal) {
    terminal = ResolveProgram(QStringLiteral("x-terminal-emulator"), QString(), path);
    if (terminal.isEmpty()) terminal = ResolveProgram(QStringLiteral("xterm"), QString(), path);
  }
  const LaunchCommand command = ConsoleCommand(resolved, argument, haveTerminal, terminal);
  QProcess process;
  process.setProgram(command.program);
  process.setArguments(command.arguments);
  if (!process.startDetached()) {
    return {false, process.errorString()};
  }
  return {true, {}};
}
