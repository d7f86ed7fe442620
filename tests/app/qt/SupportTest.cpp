// The Qt front end's helpers that need no window: the picture and the
// burner's command line.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTest>

#include "app/qt/JpegImage.h"
#include "app/qt/ProcessBurnerLauncher.h"

namespace {

const QString kLogo = QStringLiteral(KB_SOURCE_DIR "/app/resources/logo.jpg");

TEST(JpegImage, DecodesThePictureOfTheWindow) {
  const JpegDecodeResult result = LoadJpeg(kLogo);
  ASSERT_FALSE(result.image.isNull()) << result.error.toStdString();
  EXPECT_EQ(result.image.width(), 296);
  EXPECT_EQ(result.image.height(), 96);
  // A dark blue band at the top, a lighter one at the bottom: the pixels
  // really came out of the decoder.
  const QColor top = result.image.pixelColor(2, 2);
  const QColor bottom = result.image.pixelColor(2, 93);
  EXPECT_GT(top.blue(), top.red());
  EXPECT_GT(bottom.blue(), top.blue());
}

TEST(JpegImage, DamagedOrMissingDataGivesNoPictureAndAReason) {
  QFile file(kLogo);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray good = file.readAll();

  const JpegDecodeResult empty = DecodeJpeg(QByteArray());
  EXPECT_TRUE(empty.image.isNull());
  EXPECT_FALSE(empty.error.isEmpty());

  const JpegDecodeResult garbage = DecodeJpeg(QByteArray("this is no picture at all"));
  EXPECT_TRUE(garbage.image.isNull());
  EXPECT_FALSE(garbage.error.isEmpty());

  const JpegDecodeResult truncated = DecodeJpeg(good.left(good.size() / 2));
  EXPECT_TRUE(truncated.image.isNull());
  EXPECT_FALSE(truncated.error.isEmpty());

  QByteArray corrupted = good;
  for (qsizetype i = 20; i < 200 && i < corrupted.size(); ++i) corrupted[i] = char(0xFF);
  const JpegDecodeResult broken = DecodeJpeg(corrupted);
  EXPECT_TRUE(broken.image.isNull());

  const JpegDecodeResult missing = LoadJpeg(QStringLiteral("/nonexistent/picture.jpg"));
  EXPECT_TRUE(missing.image.isNull());
  EXPECT_TRUE(missing.error.contains(QStringLiteral("/nonexistent/picture.jpg")));
}

void MakeExecutable(const QString& path, bool executable = true, const QByteArray& body = {}) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("#!/bin/sh\n" + body);
  file.close();
  ::chmod(QFile::encodeName(path).constData(), executable ? 0755 : 0644);
}

TEST(BurnerLauncher, ProgramIsFoundBesideKbupdateFirstThenOnPathNeverInTheCurrentDirectory) {
  QTemporaryDir root;
  ASSERT_TRUE(root.isValid());
  const QString appDir = root.filePath("app dir");
  const QString binA = root.filePath("binA");
  const QString binB = root.filePath("binB");
  const QString cwd = root.filePath("cwd");
  for (const QString& d : {appDir, binA, binB, cwd}) ASSERT_TRUE(QDir().mkpath(d));

  MakeExecutable(QDir(binB).filePath("mcuprog"));
  MakeExecutable(QDir(cwd).filePath("mcuprog"));
  MakeExecutable(QDir(binA).filePath("mcuprog"), false);  // not executable: skipped
  const QString previous = QDir::currentPath();
  ASSERT_TRUE(QDir::setCurrent(cwd));

  // Empty, "." and relative PATH entries would mean the current directory.
  const QString path = QStringLiteral("::.:cwd:") + binA + ":" + binB;
  EXPECT_EQ(ResolveProgram("mcuprog", appDir, path), QDir(binB).filePath("mcuprog"));

  MakeExecutable(QDir(appDir).filePath("mcuprog"));
  EXPECT_EQ(ResolveProgram("mcuprog", appDir, path), QDir(appDir).filePath("mcuprog"));

  EXPECT_EQ(ResolveProgram("mcuprog", QString(), QStringLiteral(".:")), QString());
  EXPECT_EQ(ResolveProgram("absent", appDir, path), QString());
  EXPECT_EQ(ResolveProgram("../cwd/mcuprog", appDir, path), QString());
  QDir::setCurrent(previous);
}

TEST(BurnerLauncher, WithADisplayTheBurnerGetsItsOwnConsoleThatStaysReadable) {
  QProcessEnvironment environment;
  environment.insert("DISPLAY", "");
  EXPECT_FALSE(HasDisplay(environment));
  environment.insert("WAYLAND_DISPLAY", "wayland-0");
  EXPECT_TRUE(HasDisplay(environment));
  environment.insert("DISPLAY", ":0");
  environment.remove("WAYLAND_DISPLAY");
  EXPECT_TRUE(HasDisplay(environment));

  const QString firmware = QStringLiteral("/opt/my kb tools/USBKeyboard.MTP");
  const LaunchCommand noDisplay = ConsoleCommand("/bin/mcuprog", firmware, false, "/usr/bin/xterm");
  EXPECT_EQ(noDisplay.program, QStringLiteral("/bin/mcuprog"));
  EXPECT_EQ(noDisplay.arguments, QStringList{firmware});
  const LaunchCommand noEmulator = ConsoleCommand("/bin/mcuprog", firmware, true, QString());
  EXPECT_EQ(noEmulator.program, QStringLiteral("/bin/mcuprog"));

  QTemporaryDir root;
  ASSERT_TRUE(root.isValid());
  const QString succeeds = root.filePath("ok burner");
  const QString fails = root.filePath("failing burner");
  MakeExecutable(succeeds, true, "echo \"burning $1\"\n");
  MakeExecutable(fails, true, "echo \"$1\"; exit 1\n");
  const LaunchCommand console =
      ConsoleCommand(succeeds, firmware, true, "/usr/bin/x-terminal-emulator");
  EXPECT_EQ(console.program, QStringLiteral("/usr/bin/x-terminal-emulator"));
  ASSERT_GE(console.arguments.size(), 3);
  ASSERT_EQ(console.arguments.first(), QStringLiteral("-e"));
  EXPECT_EQ(console.arguments.mid(console.arguments.size() - 2), (QStringList{succeeds, firmware}));

  // What the emulator runs after -e: after a success it shows the burner's
  // output and waits for Enter before the console may close.
  QProcess shell;
  shell.setProcessChannelMode(QProcess::MergedChannels);
  shell.start(console.arguments[1], console.arguments.mid(2));
  ASSERT_TRUE(shell.waitForStarted());
  QByteArray output;
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        output += shell.readAll();
        return output.contains("Press Enter");
      },
      10000))
      << output.toStdString();
  EXPECT_TRUE(output.startsWith("burning " + firmware.toUtf8() + "\n"));
  EXPECT_EQ(shell.state(), QProcess::Running);
  shell.write("\n");
  ASSERT_TRUE(shell.waitForFinished(10000));
  EXPECT_EQ(shell.exitCode(), 0);

  // After a failure the burner has waited for Enter itself: the console ends
  // with it, keeping its exit code, while input is still open.
  const LaunchCommand failing = ConsoleCommand(fails, firmware, true, "/usr/bin/xterm");
  QProcess failed;
  failed.setProcessChannelMode(QProcess::MergedChannels);
  failed.start(failing.arguments[1], failing.arguments.mid(2));
  ASSERT_TRUE(failed.waitForFinished(10000));
  EXPECT_EQ(failed.exitCode(), 1);
  EXPECT_EQ(failed.readAll(), firmware.toUtf8() + "\n");
}

TEST(BurnerLauncher, RealLaunchHandsTheArgumentOverWhole) {
  QTemporaryDir root;
  ASSERT_TRUE(root.isValid());
  const QString bin = root.filePath("bin dir");
  ASSERT_TRUE(QDir().mkpath(bin));
  const QString record = root.filePath("argv.txt");
  const QString script = QDir(bin).filePath("fake-burner");
  {
    QFile file(script);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QStringLiteral(
                   "#!/bin/sh\nprintf '%s|%s' \"$#\" \"$1\" > '%1.tmp'\n/bin/mv '%1.tmp' '%1'\n")
                   .arg(record)
                   .toLocal8Bit());
  }
  ::chmod(QFile::encodeName(script).constData(), 0755);
  // Only this directory on PATH: no terminal emulator is found, so the
  // program runs directly.
  const QByteArray previousPath = qgetenv("PATH");
  qputenv("PATH", QFile::encodeName(bin));
  ProcessBurnerLauncher launcher;
  const QString firmware = QStringLiteral("/opt/my kb tools/USBKeyboard.MTP");
  const LaunchResult result = launcher.Launch("fake-burner", firmware.toStdString());
  qputenv("PATH", previousPath);
  ASSERT_TRUE(result.started) << result.error;
  ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(record); }, 10000));
  QFile written(record);
  ASSERT_TRUE(written.open(QIODevice::ReadOnly));
  EXPECT_EQ(QString::fromLocal8Bit(written.readAll()), QStringLiteral("1|") + firmware);
}

TEST(BurnerLauncher, AMissingBurnerIsReportedNotStarted) {
  ProcessBurnerLauncher launcher;
  const LaunchResult result = launcher.Launch("kbupdate-test-no-such-burner", "/tmp/x.MTP");
  EXPECT_FALSE(result.started);
  EXPECT_NE(result.error.find("kbupdate-test-no-such-burner"), std::string::npos);
}

}  // namespace
