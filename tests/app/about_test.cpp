// The About box (template 100) and the ways to it: the system-menu entry, the system commands
// that share its id's high bits, and F1.
#include <QContextMenuEvent>
#include <QLabel>
#include <QTest>

#include "app/about_dialog.h"
#include "app/dialog_units.h"
#include "app/resources/icons.h"
#include "tests/app/fixture.h"

namespace qvx::test {
namespace {

// The box's texts in tab order, the OK button's among them.
const QStringList kAboutTexts = {
    "QVX5120 Version 1.0",
    "OK",
    "Banners must be 720 wide by 72 high 24-bit RGB uncompressed BMP",
    "Pictures must be 720 wide by 576 high 24-bit RGB uncompressed BMP",
    "To erase a pattern, banner or picture, just cancel the file dialog",
};

TEST(AppAboutBox, TemplateHundred) {
  AboutDialog about;
  const DialogUnits units = DialogUnits::ForFont(about.font());
  EXPECT_EQ(about.windowTitle(), "About QVX5120");
  EXPECT_EQ(about.minimumSize(), QSize(units.X(268), units.Y(110)));
  EXPECT_EQ(about.maximumSize(), QSize(units.X(268), units.Y(110)));
  EXPECT_FALSE(about.windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(about.windowFlags() & Qt::WindowMaximizeButtonHint);

  const std::vector<BuiltControl>& controls = about.controls();
  ASSERT_EQ(controls.size(), 6u);
  auto* icon = qobject_cast<QLabel*>(controls[0].widget);
  ASSERT_NE(icon, nullptr);
  EXPECT_EQ(icon->pos(), QPoint(units.X(11), units.Y(17)));
  EXPECT_EQ(icon->pixmap().toImage().convertToFormat(QImage::Format_ARGB32),
            resources::IconImage(resources::kAboutIconId, 32));

  auto* version = qobject_cast<QLabel*>(controls[1].widget);
  ASSERT_NE(version, nullptr);
  EXPECT_EQ(version->text(), kAboutTexts[0]);
  EXPECT_EQ(version->textFormat(), Qt::PlainText);
  EXPECT_EQ(version->geometry(), units.Rect(40, 10, 119, 8));

  auto* ok = qobject_cast<QPushButton*>(controls[2].widget);
  ASSERT_NE(ok, nullptr);
  EXPECT_EQ(ok->text(), kAboutTexts[1]);
  EXPECT_TRUE(ok->isDefault());
  EXPECT_EQ(ok->geometry(), units.Rect(211, 7, 50, 14));

  const int rows[] = {49, 63, 77};
  for (int i = 0; i < 3; ++i) {
    auto* rule = qobject_cast<QLabel*>(controls[3 + i].widget);
    ASSERT_NE(rule, nullptr);
    EXPECT_EQ(rule->text(), kAboutTexts[2 + i]);
    EXPECT_EQ(rule->geometry(), units.Rect(15, rows[i], 234, 8));
    EXPECT_LE(rule->fontMetrics().horizontalAdvance(rule->text()), rule->width()) << i;
  }
}

TEST(AppAboutBox, EndsThroughOkEnterEscapeAndTheCloseBox) {
  {
    AboutDialog about;
    about.show();
    qobject_cast<QPushButton*>(about.controls()[2].widget)->click();
    EXPECT_FALSE(about.isVisible());
    EXPECT_EQ(about.result(), QDialog::Accepted);
  }
  {
    AboutDialog about;
    about.show();
    QTest::keyClick(&about, Qt::Key_Return);
    EXPECT_FALSE(about.isVisible());
    EXPECT_EQ(about.result(), QDialog::Accepted);
  }
  {
    AboutDialog about;
    about.show();
    QTest::keyClick(&about, Qt::Key_Escape);
    EXPECT_FALSE(about.isVisible());
    EXPECT_EQ(about.result(), QDialog::Rejected);
  }
  {
    AboutDialog about;
    about.show();
    EXPECT_TRUE(about.close());
    EXPECT_FALSE(about.isVisible());
  }
}

class AppAbout : public AppTest {
 protected:
  AppAbout() : dialog_(&clock_) { dialog_.show(); }
  TestDialog dialog_;
};

TEST_F(AppAbout, SystemMenuHasTheEntryAfterASeparator) {
  QStringList entries;
  QAction* about = nullptr;
  for (QAction* action : dialog_.system_menu().actions()) {
    entries << (action->isSeparator() ? QStringLiteral("-") : action->text());
    if (action->text() == "&About QVX5120...")
      about = action;
  }
  EXPECT_EQ(entries, (QStringList{"&Close", "-", "&About QVX5120..."}));
  ASSERT_NE(about, nullptr);
  EXPECT_EQ(about->data().toInt(), 16);
}

TEST_F(AppAbout, ContextMenuEntryOpensTheBox) {
  dialog_.menu_choice = "&About QVX5120...";
  QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5),
                          dialog_.mapToGlobal(QPoint(5, 5)));
  QApplication::sendEvent(&dialog_, &event);
  ASSERT_EQ(dialog_.menus.size(), 1u);
  EXPECT_EQ(dialog_.menus[0], (QStringList{"&Close", "-", "&About QVX5120..."}));
  ASSERT_EQ(dialog_.abouts.size(), 1u);
  EXPECT_EQ(dialog_.abouts[0].caption, "About QVX5120");
  EXPECT_EQ(dialog_.abouts[0].texts, kAboutTexts);
  EXPECT_TRUE(dialog_.abouts[0].owned_by_window);
  EXPECT_TRUE(dialog_.isVisible());

  // Dismissing the menu does nothing.
  dialog_.menu_choice.clear();
  QApplication::sendEvent(&dialog_, &event);
  EXPECT_EQ(dialog_.menus.size(), 2u);
  EXPECT_EQ(dialog_.abouts.size(), 1u);
}

TEST_F(AppAbout, CommandsSixteenToThirtyOneOpenItOthersDoNot) {
  for (int id = 16; id <= 31; ++id) {
    const size_t before = dialog_.abouts.size();
    dialog_.SystemCommand(id);
    EXPECT_EQ(dialog_.abouts.size(), before + 1) << id;
  }
  for (int id : {0, 15, 32, 48, 0xF010, 0xF100, 0xF120}) {
    dialog_.SystemCommand(id);
    EXPECT_EQ(dialog_.abouts.size(), 16u) << id;
    EXPECT_TRUE(dialog_.isVisible()) << id;
  }
}

TEST_F(AppAbout, EachOpeningIsAFreshBoxWithTheSameTexts) {
  dialog_.SystemCommand(16);
  dialog_.SystemCommand(16);
  ASSERT_EQ(dialog_.abouts.size(), 2u);
  for (const AboutRecord& about : dialog_.abouts) {
    EXPECT_EQ(about.caption, "About QVX5120");
    EXPECT_EQ(about.texts, kAboutTexts);
    EXPECT_EQ(about.result_before, 0) << "a box that was never ended before";
  }
}

TEST_F(AppAbout, LeavesTheMainWindowAsItWas) {
  List(dialog_, control::kBannerCombo).setCurrentIndex(5);
  List(dialog_, control::kFrequencyCombos[2]).setCurrentIndex(12);
  Edit(dialog_, control::kAmplitudeEdits[1]).setText("-6.0");
  Progress(dialog_).setValue(40);
  const QString title = dialog_.windowTitle();
  const std::vector<std::string> calls = vg_.Calls();

  dialog_.SystemCommand(16);
  ASSERT_EQ(dialog_.abouts.size(), 1u);

  EXPECT_EQ(dialog_.windowTitle(), title);
  EXPECT_EQ(Progress(dialog_).value(), 40);
  EXPECT_EQ(List(dialog_, control::kBannerCombo).currentIndex(), 5);
  EXPECT_EQ(List(dialog_, control::kFrequencyCombos[2]).currentIndex(), 12);
  EXPECT_EQ(Edit(dialog_, control::kAmplitudeEdits[1]).text(), "-6.0");
  EXPECT_EQ(ButtonsEnabled(dialog_), kAllEnabled);
  EXPECT_EQ(dialog_.cursor().shape(), Qt::ArrowCursor);
  EXPECT_EQ(vg_.Calls(), calls) << "the About box sends nothing";
}

TEST_F(AppAbout, F1OpensTheBox) {
  QTest::keyClick(&Edit(dialog_, control::kAmplitudeEdits[0]), Qt::Key_F1);
  EXPECT_EQ(dialog_.abouts.size(), 1u);
  QTest::keyClick(&List(dialog_, control::kPatternCombo), Qt::Key_F1);
  EXPECT_EQ(dialog_.abouts.size(), 2u);
}

TEST_F(AppAbout, CloseCommandClosesTheWindow) {
  dialog_.SystemCommand(0xF060);
  EXPECT_FALSE(dialog_.isVisible());
  EXPECT_TRUE(dialog_.abouts.empty());
}

}  // namespace
}  // namespace qvx::test
