// Downloads run from the window on the virtual generator: the frame as the user sees it (titles,
// boxes, file dialog, buttons, cursor), and a window that stays alive but deaf to input while an
// operation runs.
#include <QAbstractItemView>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>
#include <algorithm>

#include "tests/app/fixture.h"
#include "window/templates.h"

namespace qvx::test {
namespace {

const std::string kResetTitle = "QVX-5120              ";

size_t CountCalls(const Lines& calls, const std::string& line) {
  return static_cast<size_t>(std::count(calls.begin(), calls.end(), line));
}

Lines Without(const Lines& log, const std::string& prefix) {
  Lines kept;
  for (const std::string& line : log) {
    if (line.rfind(prefix, 0) != 0)
      kept.push_back(line);
  }
  return kept;
}

class AppOperation : public AppTest {
 protected:
  AppOperation() : dialog_(OpenOnGenerator()) { dialog_->log.clear(); }
  std::unique_ptr<TestDialog> dialog_;
};

TEST_F(AppOperation, TestPatternWithTheFileDialogCancelled) {
  QTest::mouseClick(&Button(*dialog_, control::kDownloadTestPattern), Qt::LeftButton);

  EXPECT_EQ(dialog_->log,
            (Lines{"title Erasing Test Pattern 0", "title Downloading Test Pattern 0",
                   "file Test Line files(*.tst)", "title Finished Test Pattern Download",
                   "box Download Complete | QVX-5120 | information", "title " + kResetTitle}));
  const BoxRecord& box = dialog_->boxes.at(0);
  EXPECT_EQ(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
  EXPECT_TRUE(box.owned_by_window);
  EXPECT_TRUE(box.modal);

  const FileDialogRecord& file = dialog_->file_dialogs.at(0);
  EXPECT_EQ(file.name_filters, QStringList{"Test Line files(*.tst)"});
  EXPECT_EQ(file.model_patterns, QStringList{"*.tst"});
  EXPECT_EQ(file.accept_mode, QFileDialog::AcceptOpen);
  EXPECT_EQ(file.file_mode, QFileDialog::ExistingFile);
  EXPECT_TRUE(file.read_only);
  EXPECT_TRUE(file.default_suffix.isEmpty());
  EXPECT_TRUE(file.preselected.isEmpty());
  EXPECT_TRUE(file.owned_by_window);

  EXPECT_EQ(dialog_->windowTitle().toStdString(), kResetTitle);
  EXPECT_EQ(ButtonsEnabled(*dialog_), kAllEnabled);
  EXPECT_EQ(dialog_->cursor().shape(), Qt::ArrowCursor);
  EXPECT_EQ(Progress(*dialog_).value(), 0);
  EXPECT_FALSE(dialog_->busy());
  // Start-up, then buttons off, two loading-mode starts and buttons on: one count each.
  EXPECT_EQ(dialog_->cursor_display_count(), 5);
  // The slot is erased in two loading sequences, and nothing is written after a cancel.
  const Lines calls = vg_.Calls();
  EXPECT_EQ(CountCalls(calls, "FT_Write F0 -> 0 1"), 2u);
  EXPECT_EQ(CountCalls(calls, "FT_Write F9 -> 0 1"), 0u);
  EXPECT_FALSE(vg_.InLoadingMode());
}

TEST_F(AppOperation, BannerAsksForABitmapAndShowsItsSlot) {
  List(*dialog_, control::kBannerCombo).setCurrentIndex(7);
  QTest::mouseClick(&Button(*dialog_, control::kDownloadBanner), Qt::LeftButton);

  EXPECT_EQ(dialog_->log,
            (Lines{"title Erasing Banner 8", "title Downloading Banner 8",
                   "file Banner files(*.bmp)", "title Finished Banner Download",
                   "box Download Complete | QVX-5120 | information", "title " + kResetTitle}));
  EXPECT_EQ(dialog_->file_dialogs.at(0).model_patterns, QStringList{"*.bmp"});
  EXPECT_EQ(ButtonsEnabled(*dialog_), kAllEnabled);
  EXPECT_EQ(dialog_->cursor().shape(), Qt::ArrowCursor);
}

TEST_F(AppOperation, ChosenFileReachesTheGenerator) {
  QTemporaryDir directory;
  ASSERT_TRUE(directory.isValid());
  // A name outside ASCII must reach the operation's file opening intact.
  const QString path = directory.filePath(QString::fromUtf8("m\xC3\xBCster \xE2\x84\x96 3.tst"));
  QByteArray pattern(2880, '\0');
  for (int i = 0; i < pattern.size(); ++i)
    pattern[i] = static_cast<char>((i * 7 + 3) & 0xFF);
  {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(pattern), pattern.size());
  }
  List(*dialog_, control::kPatternCombo).setCurrentIndex(3);
  dialog_->file_answers.push_back(path);

  QTest::mouseClick(&Button(*dialog_, control::kDownloadTestPattern), Qt::LeftButton);

  EXPECT_EQ(dialog_->titles.back(), kResetTitle);
  EXPECT_EQ(BoxTexts(*dialog_), (Lines{"Download Complete"}));
  const std::span<const uint8_t> wire = vg_.Wire();
  const auto found = std::search(wire.begin(), wire.end(), pattern.begin(), pattern.end(),
                                 [](uint8_t a, char b) { return a == static_cast<uint8_t>(b); });
  EXPECT_NE(found, wire.end()) << "the file's 2880 bytes are on the wire";
  EXPECT_EQ(CountCalls(vg_.Calls(), "FT_Write F9 -> 0 1"), 1u);
}

TEST_F(AppOperation, EachFileDialogStartsWithNoFileFilledIn) {
  QTemporaryDir directory;
  ASSERT_TRUE(directory.isValid());
  const QString chosen = directory.filePath(QStringLiteral("chosen.tst"));
  {
    QFile file(chosen);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  }
  // The user picks a file in the first dialog, then cancels it.
  dialog_->on_file_dialog = [&](QFileDialog& dialog) {
    dialog.selectFile(chosen);
    EXPECT_EQ(dialog.selectedFiles(), QStringList{chosen});
    dialog_->on_file_dialog = nullptr;
  };
  QTest::mouseClick(&Button(*dialog_, control::kDownloadTestPattern), Qt::LeftButton);
  QTest::mouseClick(&Button(*dialog_, control::kDownloadBanner), Qt::LeftButton);

  ASSERT_EQ(dialog_->file_dialogs.size(), 2u);
  const FileDialogRecord& second = dialog_->file_dialogs.at(1);
  EXPECT_TRUE(second.preselected.isEmpty());
  EXPECT_EQ(second.name_filters, QStringList{"Banner files(*.bmp)"});
  EXPECT_EQ(second.model_patterns, QStringList{"*.bmp"});
  EXPECT_TRUE(second.owned_by_window);
  // Between operations the file dialog is no part of the window.
  EXPECT_TRUE(dialog_->findChildren<QFileDialog*>().isEmpty());
}

TEST_F(AppOperation, AudioKeepsTheTitleAndWritesTheAmplitudesBack) {
  Edit(*dialog_, control::kAmplitudeEdits[1]).setText("-6");
  QTest::mouseClick(&Button(*dialog_, control::kDownloadAudio), Qt::LeftButton);
  EXPECT_EQ(Without(dialog_->log, "file"),
            (Lines{"box Download Complete | QVX-5120 | information", "title " + kResetTitle}));
  EXPECT_EQ(Edit(*dialog_, control::kAmplitudeEdits[1]).text(), "-6.000");
  EXPECT_EQ(ButtonsEnabled(*dialog_), kAllEnabled);
}

TEST_F(AppOperation, FocusReturnsToThePressedButtonSoKeysActWhereTheUserLeftThem) {
  dialog_->activateWindow();
  for (int id : {control::kDownloadBanner, control::kDownloadAudio}) {
    QPushButton& button = Button(*dialog_, id);
    button.setFocus();
    QTest::keyClick(&button, Qt::Key_Space);
    ASSERT_EQ(BoxTexts(*dialog_).back(), "Download Complete");
    EXPECT_EQ(dialog_->focusWidget(), &button) << id;
    // An arrow key right after the download does not reach the channel-1 tone list.
    QTest::keyClick(dialog_->focusWidget(), Qt::Key_Down);
    EXPECT_EQ(List(*dialog_, control::kFrequencyCombos[0]).currentIndex(), 0) << id;
  }
}

// While an operation runs, the user clicks, types, scrolls and asks for menus. (A close asked for
// meanwhile is kept for the operation's end: see window_test.cpp.)
class AppBusyWindow : public AppOperation {
 protected:
  void Interfere() {
    // A second operation started by mistake would wait too: interfere with the first one only.
    if (interfering_)
      return;
    interfering_ = true;
    ++interferences_;
    EXPECT_TRUE(dialog_->busy());
    QTest::mouseClick(&Button(*dialog_, control::kDownloadBanner), Qt::LeftButton);
    QTest::mouseClick(&Button(*dialog_, control::kDownloadPicture), Qt::LeftButton);
    QTest::mouseClick(&List(*dialog_, control::kPictureCombo), Qt::LeftButton);
    QWheelEvent wheel(QPointF(5, 5), QPointF(dialog_->mapToGlobal(QPoint(5, 5))), QPoint(),
                      QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&List(*dialog_, control::kBannerCombo), &wheel);
    QTest::keyClicks(&Edit(*dialog_, control::kAmplitudeEdits[0]), "9");
    QTest::keyClick(&Edit(*dialog_, control::kAmplitudeEdits[0]), Qt::Key_Return);
    QTest::keyClick(dialog_.get(), Qt::Key_F1);
    QContextMenuEvent menu(QContextMenuEvent::Mouse, QPoint(5, 5),
                           dialog_->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(dialog_.get(), &menu);
    dialog_->menu_choice = "&About QVX5120...";
    // On Windows the system menu's About command arrives as a window message.
    dialog_->SystemCommand(resources::kAboutCommandId);
    // Ways round the input: ending the dialog directly, a click signal without a mouse.
    dialog_->reject();
    dialog_->accept();
    emit Button(*dialog_, control::kDownloadAudio).clicked();
    QCoreApplication::processEvents();
    interfering_ = false;
  }

  bool interfering_ = false;
  int interferences_ = 0;
};

TEST_F(AppBusyWindow, InputDuringAnOperationHasNoEffect) {
  clock_.on_wait = [this](size_t) { Interfere(); };
  QTest::mouseClick(&Button(*dialog_, control::kDownloadTestPattern), Qt::LeftButton);
  clock_.on_wait = nullptr;
  ASSERT_GT(interferences_, 0);

  // Exactly the one test pattern operation ran: its two loading sequences and nothing after.
  const Lines calls = vg_.Calls();
  EXPECT_EQ(CountCalls(calls, "FT_Write F0 -> 0 1"), 2u);
  EXPECT_EQ(dialog_->log,
            (Lines{"title Erasing Test Pattern 0", "title Downloading Test Pattern 0",
                   "file Test Line files(*.tst)", "title Finished Test Pattern Download",
                   "box Download Complete | QVX-5120 | information", "title " + kResetTitle}));
  EXPECT_TRUE(dialog_->isVisible());
  EXPECT_TRUE(dialog_->abouts.empty());
  EXPECT_TRUE(dialog_->menus.empty());
  EXPECT_EQ(Edit(*dialog_, control::kAmplitudeEdits[0]).text(), "0.0");
  EXPECT_EQ(List(*dialog_, control::kBannerCombo).currentIndex(), 0);
  EXPECT_FALSE(List(*dialog_, control::kPictureCombo).view()->isVisible());

  // Nothing was held back to run once the operation ended.
  QCoreApplication::processEvents();
  QCoreApplication::processEvents();
  EXPECT_EQ(vg_.Calls(), calls);
  EXPECT_TRUE(dialog_->isVisible());

  // And the window answers again.
  QTest::keyClick(dialog_.get(), Qt::Key_F1);
  EXPECT_EQ(dialog_->abouts.size(), 1u);
  EXPECT_TRUE(dialog_->close());
}

TEST_F(AppBusyWindow, BoxesTakeInputWhileBusy) {
  // The completion box comes up while the operation runs; it is a window of its own, owned by
  // the main window, and the user's Enter reaches its OK button.
  bool busy_at_box = false;
  bool answered = false;
  dialog_->on_box = [&](QMessageBox& box) {
    busy_at_box = dialog_->busy();
    box.show();
    QTest::keyClick(&box, Qt::Key_Return);
    answered = box.clickedButton() == box.button(QMessageBox::Ok);
  };
  QTest::mouseClick(&Button(*dialog_, control::kDownloadTestPattern), Qt::LeftButton);
  EXPECT_TRUE(busy_at_box);
  EXPECT_TRUE(answered);
  EXPECT_FALSE(dialog_->busy());
}

TEST_F(AppBusyWindow, PendingEventsAreHandledWhileTheOperationRuns) {
  // Something the window must do (a repaint, a desktop ping) arrives just as the user clicks.
  bool handled_before_first_wait = false;
  bool handled = false;
  QMetaObject::invokeMethod(
      dialog_.get(), [&] { handled = true; }, Qt::QueuedConnection);
  clock_.on_wait = [&](size_t) {
    if (clock_.waits.size() == 1)
      handled_before_first_wait = handled;
  };
  QTest::mouseClick(&Button(*dialog_, control::kDownloadTestPattern), Qt::LeftButton);
  EXPECT_TRUE(handled_before_first_wait);
}

}  // namespace
}  // namespace qvx::test
