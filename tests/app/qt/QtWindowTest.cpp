// What only the Qt window does: its frame, the controls' geometry, fonts and
// colours as the widgets carry them, real mouse events and QTimer details.
#include <QLabel>
#include <QListWidget>
#include <QPalette>
#include <QTest>
#include <QTimer>

#include "app/qt/QtToolkit.h"
#include "tests/app/WindowFixture.h"

namespace apptest {
namespace {

QWidget& Widget(const ui::Control* control) {
  return qtui::WidgetOf(*control);
}

QColor TextColor(const ui::Control* control) {
  return Widget(control).palette().color(QPalette::WindowText);
}

const QColor kRed(255, 0, 0);
const QColor kBlue(0, 0, 255);
const QColor kGreen(0, 128, 0);

TEST_F(WindowTest, QtWindowHasTheFormsFrameAndEveryControlAtItsPlace) {
  Open();
  QWidget& window = qtui::WidgetOf(form->Window());
  EXPECT_EQ(window.windowTitle(), QStringLiteral("MVR508_UP2"));
  EXPECT_EQ(window.size(), QSize(383, 320));
  EXPECT_TRUE(window.windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_FALSE(window.windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(window.windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_EQ(window.palette().color(QPalette::Window), window.palette().color(QPalette::Base));

  // Every control of the form's table, found by its name, where the table
  // puts it (radio buttons relative to their group).
  for (const ui::ControlLayout& layout : TbootloaderFORM::ControlDescriptions()) {
    SCOPED_TRACE(layout.name);
    const auto* widget = window.findChild<QWidget*>(QString::fromStdString(layout.name));
    ASSERT_NE(widget, nullptr);
    const QRect expected(layout.bounds.left, layout.bounds.top, layout.bounds.width,
                         layout.bounds.height);
    EXPECT_EQ(widget->geometry(), expected);
    if (layout.font) {
      EXPECT_EQ(widget->font().pixelSize(), layout.font->pixels);
      EXPECT_EQ(widget->font().bold(), layout.font->bold);
      EXPECT_EQ(widget->font().families().front().toStdString(), layout.font->family);
    }
  }
  EXPECT_EQ(window.font().pixelSize(), 13);
  const auto* picture = window.findChild<QLabel*>(QStringLiteral("Image1"));
  ASSERT_NE(picture, nullptr);
  EXPECT_FALSE(picture->pixmap().isNull());
  EXPECT_EQ(Widget(form->Label2).property("alignment").value<Qt::Alignment>(), Qt::AlignCenter);
  EXPECT_EQ(Widget(form->Label3).property("alignment").value<Qt::Alignment>(),
            Qt::AlignHCenter | Qt::AlignTop);
  EXPECT_EQ(TextColor(form->Label3), kRed);
  EXPECT_EQ(TextColor(form->Label4), kBlue);
  EXPECT_EQ(Widget(form->Button1).palette().color(QPalette::ButtonText), kRed);
  EXPECT_EQ(Widget(form->ColorBtn1).cursor().shape(), Qt::PointingHandCursor);
  EXPECT_EQ(Widget(form->ColorBtn1).focusPolicy(), Qt::ClickFocus);
}

TEST_F(WindowTest, QtLabelsShowTheirFontColourAndListsTheirItemHeight) {
  Open();
  PlugAndWait(MakeKeyboard(6));
  EXPECT_EQ(TextColor(form->Label2), kBlue);
  EXPECT_EQ(TextColor(form->Label5), kGreen);
  auto& history = static_cast<QListWidget&>(Widget(form->HistoryListBox));
  auto& devices = static_cast<QListWidget&>(Widget(form->DevListBox));
  EXPECT_EQ(history.visualItemRect(history.item(0)).height(), 14);
  EXPECT_EQ(devices.visualItemRect(devices.item(0)).height(), 16);
  PlugAndWait(MakeOtherDevice());
  form->Timer4Timer();
  EXPECT_EQ(TextColor(form->Label2), kRed);
}

TEST_F(WindowTest, QtMouseEventsReachTheHandlers) {
  Open();
  PlugAndWait(MakeKeyboard(3));
  auto& devices = static_cast<QListWidget&>(Widget(form->DevListBox));
  form->ReadBtn->SetChecked(true);
  const QRect second = devices.visualItemRect(devices.item(1));
  QTest::mouseClick(devices.viewport(), Qt::LeftButton, {}, second.center());
  EXPECT_EQ(form->DevListBox->ItemIndex(), 1);
  EXPECT_EQ(form->CurrentDevice(), form->DeviceOfEntry(2));
  EXPECT_FALSE(form->ReadBtn->Checked());

  QTest::mouseMove(&Widget(form->ColorBtn1), QPoint(10, 10));
  QTest::mouseMove(&Widget(form->ColorBtn1), QPoint(20, 12));
  EXPECT_TRUE(form->Timer3->Enabled());
}

TEST_F(WindowTest, QtBurnerTimerIsNotRestartedByASecondEnumeration) {
  bus.Plug(MakeBootLoader());
  Create();
  HoldTimer(*form->Timer1);
  ShowAndWait();
  QTimer& timer = qtui::TimerOf(*form->Timer1);
  ASSERT_TRUE(timer.isActive());
  Pump(std::chrono::milliseconds(50));
  const int before = timer.remainingTime();
  form->HidCtl->EnumerateDevices();
  EXPECT_TRUE(timer.isActive());
  EXPECT_LE(timer.remainingTime(), before);
}

}  // namespace
}  // namespace apptest
