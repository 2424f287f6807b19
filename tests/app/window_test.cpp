// Ending the main window: Enter in an edit or a list is the dialog's OK, Escape and the close box
// its cancel; Enter on a focused push button presses that button instead. A close asked for while
// a download runs ends the window once the download has ended.
#include <QTest>
#include <QWindow>
#include <algorithm>

#include "tests/app/fixture.h"
#include "tests/support/test_files.h"

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

// How the user asks the window to close, and when in the download.
enum class CloseBy { kEscape, kCloseBox, kSystemMenu };
enum class CloseWhen { kMidDownload, kAsItEnds };

struct CloseCase {
  const char* name;
  CloseBy by;
  CloseWhen when;
};

class AppCloseWhileBusy : public AppTest {};

TEST_F(AppCloseWhileBusy, ACloseAskedForWhileBusyEndsTheWindowOnceTheDownloadHasEnded) {
  const std::string banner = WriteFile("close-banner.bmp", MakeBmp(72));
  const CloseCase cases[] = {
      {"Escape mid-download", CloseBy::kEscape, CloseWhen::kMidDownload},
      {"close box mid-download", CloseBy::kCloseBox, CloseWhen::kMidDownload},
      {"system menu mid-download", CloseBy::kSystemMenu, CloseWhen::kMidDownload},
      {"Escape as it ends", CloseBy::kEscape, CloseWhen::kAsItEnds},
      {"close box as it ends", CloseBy::kCloseBox, CloseWhen::kAsItEnds},
  };
  for (const CloseCase& c : cases) {
    SCOPED_TRACE(c.name);
    vg_.Reset();
    TestDialog dialog(&clock_);
    dialog.show();
    dialog.activateWindow();
    dialog.log.clear();
    dialog.file_answers.push_back(QString::fromStdString(banner));
    bool asked = false;
    // Set once the window has gone while the download was still running.
    std::vector<std::string> closed_during;
    const auto ask = [&] {
      if (asked)
        return;
      asked = true;
      ASSERT_TRUE(dialog.busy());
      switch (c.by) {
        case CloseBy::kEscape: {
          // To the window's own focus: whether it is the active window is the platform's timing.
          QWidget* focused = dialog.focusWidget();
          QTest::keyClick(focused != nullptr ? focused : &dialog, Qt::Key_Escape);
          break;
        }
        case CloseBy::kCloseBox:
          // What the window system sends when the close box is clicked.
          ASSERT_NE(dialog.windowHandle(), nullptr);
          dialog.windowHandle()->close();
          break;
        case CloseBy::kSystemMenu:
          dialog.SystemCommand(WindowCore::kCloseCommand);
          break;
      }
    };
    const auto look = [&](const std::string& where) {
      if (asked && !dialog.isVisible())
        closed_during.push_back(where);
    };
    clock_.on_wait = [&](size_t) {
      if (c.when == CloseWhen::kMidDownload)
        ask();
      look("a wait");
    };
    dialog.on_shown = [&](const std::string& line) {
      if (c.when == CloseWhen::kAsItEnds && line == "title QVX-5120              ")
        ask();
      look(line);
    };
    dialog.on_box = [&](QMessageBox& box) { look("box " + box.text().toStdString()); };

    QTest::mouseClick(&Button(dialog, control::kDownloadBanner), Qt::LeftButton);
    clock_.on_wait = nullptr;

    EXPECT_TRUE(asked);
    EXPECT_EQ(closed_during, Lines{}) << "the window stays up while the download runs";
    EXPECT_EQ(dialog.log, (Lines{"title Erasing Banner 1", "title Downloading Banner 1",
                                 "file Banner files(*.bmp)", "title Finished Banner Download",
                                 "box Download Complete | QVX-5120 | information",
                                 "title QVX-5120              "}));
    const Lines calls = vg_.Calls();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "FT_Write F8 -> 0 1"), 72)
        << "each of the banner's 72 lines was sent";
    EXPECT_FALSE(dialog.isVisible()) << "closed once the download had ended";
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
  }
}

}  // namespace
}  // namespace qvx::test
