// Ending the main window: Enter in an edit or a list is the dialog's OK, Escape and the close box
// its cancel; Enter on a focused push button presses that button instead.
#include <QTest>

#include "tests/app/fixture.h"

namespace qvx::test {
namespace {

class AppWindowKeys : public AppTest {
 protected:
  AppWindowKeys() : dialog_(&clock_) { dialog_.show(); }
  TestDialog dialog_;
};

TEST_F(AppWindowKeys, EnterInAnAmplitudeEditClosesTheWindow) {
  for (int id : control::kAmplitudeEdits) {
    dialog_.show();
    ASSERT_TRUE(dialog_.isVisible());
    QTest::keyClick(&Edit(dialog_, id), Qt::Key_Return);
    EXPECT_FALSE(dialog_.isVisible()) << id;
    EXPECT_EQ(dialog_.result(), QDialog::Accepted) << id;
  }
  dialog_.show();
  QTest::keyClick(&Edit(dialog_, control::kAmplitudeEdits[0]), Qt::Key_Enter, Qt::KeypadModifier);
  EXPECT_FALSE(dialog_.isVisible());
}

TEST_F(AppWindowKeys, EnterInAListClosesTheWindow) {
  QTest::keyClick(&List(dialog_, control::kBannerCombo), Qt::Key_Return);
  EXPECT_FALSE(dialog_.isVisible());
  EXPECT_EQ(dialog_.result(), QDialog::Accepted);
}

TEST_F(AppWindowKeys, EscapeAndTheCloseBoxClose) {
  QTest::keyClick(&Edit(dialog_, control::kAmplitudeEdits[2]), Qt::Key_Escape);
  EXPECT_FALSE(dialog_.isVisible());
  EXPECT_EQ(dialog_.result(), QDialog::Rejected);

  dialog_.show();
  EXPECT_TRUE(dialog_.close());
  EXPECT_FALSE(dialog_.isVisible());
  EXPECT_EQ(dialog_.result(), QDialog::Rejected);
}

TEST_F(AppWindowKeys, EnterOnAFocusedButtonPressesIt) {
  QPushButton& pattern = Button(dialog_, control::kDownloadTestPattern);
  QTest::keyClick(&pattern, Qt::Key_Return);
  EXPECT_TRUE(dialog_.isVisible());
  EXPECT_EQ(dialog_.titles.at(1), "Erasing Test Pattern 0");
  EXPECT_EQ(dialog_.titles.back(), "QVX-5120              ");
}

TEST_F(AppWindowKeys, OtherKeysLeaveTheWindowOpen) {
  QTest::keyClicks(&Edit(dialog_, control::kAmplitudeEdits[0]), "x");
  QTest::keyClick(&List(dialog_, control::kPatternCombo), Qt::Key_Down);
  EXPECT_TRUE(dialog_.isVisible());
  EXPECT_EQ(Edit(dialog_, control::kAmplitudeEdits[0]).text(), "0.0x");
  EXPECT_EQ(List(dialog_, control::kPatternCombo).currentIndex(), 1);
}

}  // namespace
}  // namespace qvx::test
