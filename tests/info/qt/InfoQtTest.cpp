// What only the Qt information dialog has: its window flags, its widgets at
// the described places, the lists' anchors on a resize, plain-text labels,
// centring on its owner and painting after the device went.
#include <QLabel>
#include <QListWidget>
#include <QPixmap>
#include <QWidget>

#include "app/qt/QtToolkit.h"
#include "tests/info/InfoDialogFixture.h"

namespace {

using infotest::InfoDeviceTest;

QRect Bounds(const ui::ControlSpec& spec) {
  return {spec.bounds.left, spec.bounds.top, spec.bounds.width, spec.bounds.height};
}

TEST_F(InfoDeviceTest, QtFrameAndWidgetsAsDescribed) {
  TInfoForm form(toolkit, nullptr);
  const QWidget& window = qtui::WidgetOf(form.Window());
  EXPECT_EQ(window.windowTitle(), "HID Device Info");
  EXPECT_FALSE(window.windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(window.windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_TRUE(window.windowFlags() & Qt::WindowCloseButtonHint);
  int checked = 0;
  for (const ui::ControlSpec& spec : TInfoForm::ControlDescriptions()) {
    const auto* widget = window.findChild<QWidget*>(QString::fromStdString(spec.name));
    ASSERT_NE(widget, nullptr) << spec.name;
    if (qobject_cast<const QLabel*>(widget) != nullptr) {
      EXPECT_EQ(widget->pos(), Bounds(spec).topLeft()) << spec.name;
      EXPECT_EQ(widget->height(), 16) << spec.name;
    } else {
      EXPECT_EQ(widget->geometry(), Bounds(spec)) << spec.name;
    }
    ++checked;
  }
  EXPECT_EQ(checked, 23);
}

TEST_F(InfoDeviceTest, QtListsFollowTheirEdgesWhenResized) {
  TInfoForm form(toolkit, nullptr);
  form.Window().Show();
  QWidget& window = qtui::WidgetOf(form.Window());
  const QWidget& strings = qtui::WidgetOf(*form.DevStrings);
  const QWidget& languages = qtui::WidgetOf(*form.LangStrings);
  EXPECT_EQ(strings.geometry(), QRect(232, 72, 161, 297));
  window.resize(window.width() + 100, window.height() + 50);
  EXPECT_EQ(strings.geometry(), QRect(232, 72, 261, 347));
  EXPECT_EQ(languages.geometry(), QRect(400 + 100, 72, 161, 347));
  form.Window().SetClientSize(565, 375);
  EXPECT_EQ(strings.geometry(), QRect(232, 72, 161, 297));
  form.Window().Close();
}

TEST_F(InfoDeviceTest, QtDialogIsCentredOnItsOwnerAndShowsPlainText) {
  device = PlugAndClaim(infotest::BootLoaderIdentity());
  ASSERT_NE(device, nullptr);
  auto owner = MakeOwner();
  QWidget& ownerWidget = qtui::WidgetOf(*owner);
  ownerWidget.setGeometry(300, 200, 383, 320);
  owner->Show();
  TInfoForm dialog(toolkit, owner.get());
  dialog.Device = device.get();
  bool ran = false;
  toolkit.whileModal = [&](ui::Form& shown) {
    ran = true;
    const QWidget& window = qtui::WidgetOf(shown);
    EXPECT_EQ(window.parentWidget(), &ownerWidget);
    const auto* product = qobject_cast<const QLabel*>(&qtui::WidgetOf(*dialog.ProductName));
    ASSERT_NE(product, nullptr);
    EXPECT_EQ(product->text(), "ISP Boot <b>Loader</b>");
    EXPECT_EQ(product->textFormat(), Qt::PlainText);
    const QPoint offset = window.geometry().center() - ownerWidget.geometry().center();
    EXPECT_LE(offset.manhattanLength(), 40) << "not centred on its owner";
  };
  toolkit.RunModal(dialog.Window());
  EXPECT_TRUE(ran);
}

TEST_F(InfoDeviceTest, QtDialogPaintsAfterTheDeviceWasFreed) {
  device = PlugAndClaim(infotest::BootLoaderIdentity());
  ASSERT_NE(device, nullptr);
  TInfoForm dialog(toolkit, nullptr);
  dialog.Device = device.get();
  toolkit.whileModal = [&](ui::Form& shown) {
    bus.Unplug(plugged);
    controller->DeviceChange();
    device.reset();
    QWidget& window = qtui::WidgetOf(shown);
    window.resize(700, 500);
    const QPixmap painted = window.grab();
    EXPECT_FALSE(painted.isNull());
    EXPECT_EQ(painted.size(), QSize(700, 500));
  };
  toolkit.RunModal(dialog.Window());
  EXPECT_EQ(device, nullptr);
}

}  // namespace
