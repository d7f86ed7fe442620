// The information dialog on Qt: its frame, the labels' and lists' places,
// the lists' anchors and its owner.
#include <gtest/gtest.h>

#include <QLabel>
#include <QListWidget>
#include <QWidget>

#include "app/info/Info.h"
#include "app/qt/QtToolkit.h"
#include "tests/support/Drive.h"
#include "tests/support/TestToolkit.h"

namespace {

QRect Geometry(const ui::Control* control) {
  return qtui::WidgetOf(*control).geometry();
}

TEST(QtInfoFormTest, FrameAndEveryControlAtItsPlace) {
  testsupport::ScriptedToolkit toolkit;
  TInfoForm form(toolkit, nullptr);
  QWidget& window = qtui::WidgetOf(form.Window());
  EXPECT_EQ(window.windowTitle(), "HID Device Info");
  EXPECT_EQ(window.size(), QSize(565, 375));
  EXPECT_FALSE(window.windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(window.windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_TRUE(window.windowFlags() & Qt::WindowCloseButtonHint);
  for (const ui::ControlLayout& layout : TInfoForm::ControlDescriptions()) {
    SCOPED_TRACE(layout.name);
    const auto* widget = window.findChild<QWidget*>(QString::fromStdString(layout.name));
    ASSERT_NE(widget, nullptr);
    EXPECT_EQ(widget->pos(), QPoint(layout.bounds.left, layout.bounds.top));
    EXPECT_EQ(widget->height(), layout.bounds.height);
    if (const auto* label = qobject_cast<const QLabel*>(widget)) {
      // Sized to its text; device strings are never markup.
      EXPECT_EQ(label->width(), label->sizeHint().width());
      EXPECT_EQ(label->textFormat(), Qt::PlainText);
    }
  }
  EXPECT_EQ(Geometry(form.DevStrings), QRect(232, 72, 161, 297));
  EXPECT_EQ(Geometry(form.LangStrings), QRect(400, 72, 161, 297));
}

TEST(QtInfoFormTest, ListsFollowTheirEdgesWhenResized) {
  testsupport::ScriptedToolkit toolkit;
  TInfoForm form(toolkit, nullptr);
  form.Window().Show();
  EXPECT_EQ(Geometry(form.DevStrings), QRect(232, 72, 161, 297));
  testsupport::SetClientSize(form.Window(), 565 + 100, 375 + 50);
  EXPECT_EQ(Geometry(form.DevStrings), QRect(232, 72, 261, 347));
  EXPECT_EQ(Geometry(form.LangStrings), QRect(500, 72, 161, 347));
  auto& strings = static_cast<QListWidget&>(qtui::WidgetOf(*form.DevStrings));
  form.DevStrings->Add("  1) one");
  EXPECT_EQ(strings.visualItemRect(strings.item(0)).height(), 16);
  form.Window().Close();
}

TEST(QtInfoFormTest, DialogBelongsToItsOwnerAndIsCentredOnIt) {
  testsupport::ScriptedToolkit toolkit;
  ui::FormLayout ownerLayout;
  ownerLayout.clientWidth = 383;
  ownerLayout.clientHeight = 320;
  const auto ownerForm = toolkit.MakeForm(ownerLayout, nullptr);
  qtui::WidgetOf(*ownerForm).setGeometry(300, 200, 383, 320);
  ownerForm->Show();
  TInfoForm dialog(toolkit, ownerForm.get());
  QWidget& window = qtui::WidgetOf(dialog.Window());
  EXPECT_EQ(window.parentWidget(), &qtui::WidgetOf(*ownerForm));
  dialog.Window().Show();
  const QPoint offset = window.geometry().center() - qtui::WidgetOf(*ownerForm).geometry().center();
  EXPECT_LE(offset.manhattanLength(), 40) << "not centred on its owner";
  dialog.Window().Close();
}

}  // namespace
