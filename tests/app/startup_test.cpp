// Start-up of the main window: filling the lists, connecting to the generator or reporting why
// not, the buttons, cursor and focus that follow, and the application object around it.
#include <QApplication>
#include <QTimer>

#include "app/application_title.h"
#include "app/generator_app.h"
#include "tests/app/fixture.h"

namespace qvx::test {
namespace {

const Lines kFrequencyItems = {
    "Silence", "50Hz",   "100Hz",  "150Hz",  "200Hz",  "250Hz",  "300Hz",  "400Hz",   "500Hz",
    "600Hz",   "750Hz",  "800Hz",  "1000Hz", "1200Hz", "1500Hz", "1600Hz", "2000Hz",  "2400Hz",
    "3000Hz",  "3200Hz", "4000Hz", "4800Hz", "6000Hz", "8000Hz", "9600Hz", "12000Hz", "16000Hz"};

Lines Items(const QComboBox& list) {
  Lines items;
  for (int i = 0; i < list.count(); ++i)
    items.push_back(list.itemText(i).toStdString());
  return items;
}

class AppStartup : public AppTest {
 protected:
  // What every start shows, connected or not: the lists, their selections, the edits, the bar.
  void ExpectInitialContents(const MainDialog& dialog) {
    EXPECT_EQ(Items(List(dialog, control::kPictureCombo)), (Lines{"1", "2"}));
    EXPECT_EQ(Items(List(dialog, control::kBannerCombo)),
              (Lines{"1", "2", "3", "4", "5", "6", "7", "8"}));
    EXPECT_EQ(Items(List(dialog, control::kPatternCombo)),
              (Lines{"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13", "14",
                     "15"}));
    for (int id : control::kFrequencyCombos)
      EXPECT_EQ(Items(List(dialog, id)), kFrequencyItems);

    EXPECT_EQ(List(dialog, control::kPictureCombo).currentText(), "1");
    EXPECT_EQ(List(dialog, control::kBannerCombo).currentText(), "1");
    EXPECT_EQ(List(dialog, control::kPatternCombo).currentText(), "0");
    for (int id : control::kFrequencyCombos) {
      EXPECT_EQ(List(dialog, id).currentIndex(), 0);
      EXPECT_EQ(List(dialog, id).currentText(), "Silence");
    }
    for (int id : control::kAmplitudeEdits)
      EXPECT_EQ(Edit(dialog, id).text(), "0.0");
    EXPECT_EQ(Progress(dialog).minimum(), 0);
    EXPECT_EQ(Progress(dialog).maximum(), 100);
    EXPECT_EQ(Progress(dialog).value(), 0);
  }
};

TEST_F(AppStartup, NothingHappensBeforeTheWindowIsShown) {
  TestDialog dialog(&clock_);
  EXPECT_EQ(dialog.windowTitle(), "QVX5120     ");
  EXPECT_TRUE(vg_.Calls().empty());
  EXPECT_EQ(List(dialog, control::kPictureCombo).count(), 0);
  EXPECT_FALSE(dialog.link().connected());
  EXPECT_EQ(dialog.cursor_display_count(), 0);

  const DownloadState& state = dialog.downloads().state();
  EXPECT_EQ(state.PictureIndex, 0);
  EXPECT_EQ(state.BannerNumber, 0);
  EXPECT_EQ(state.PatternNumber, 0);
  EXPECT_EQ(state.SectorIndex, 0);
}

TEST_F(AppStartup, WithoutTheDriverLibraryFourBoxesThenNotOpen) {
  NoLibraryLoader loader;
  TestDialog dialog(&clock_, &loader);
  dialog.show();

  EXPECT_EQ(BoxTexts(dialog), (Lines{"Error: Can't Load ft8u245.dll", "FT_OpenEx is not valid!",
                                     "USB DEVICE not responding", "FT_SetTimeouts is not valid!"}));
  for (const BoxRecord& box : dialog.boxes) {
    EXPECT_EQ(box.caption, kTestTitle);
    EXPECT_EQ(box.icon, QMessageBox::NoIcon);
    EXPECT_EQ(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    EXPECT_TRUE(box.owned_by_window);
    EXPECT_TRUE(box.modal);
  }
  EXPECT_EQ(dialog.titles, (Lines{"USB port NOT OPEN"}));
  EXPECT_EQ(dialog.windowTitle(), "USB port NOT OPEN");
  EXPECT_FALSE(dialog.link().connected());
  EXPECT_EQ(ButtonsEnabled(dialog), kAllDisabled);
  // No operation runs, so no wait cursor, although the buttons stay off.
  EXPECT_EQ(dialog.cursor().shape(), Qt::ArrowCursor);
  EXPECT_EQ(dialog.cursor_display_count(), 1);
  ExpectInitialContents(dialog);
  // The download buttons cannot take the focus, so it goes to the first list that can.
  EXPECT_EQ(dialog.focusWidget(), dialog.Control(control::kFrequencyCombos[0]));
  EXPECT_TRUE(vg_.Calls().empty());
}

TEST_F(AppStartup, GeneratorThatDoesNotOpenLeavesTheButtonsOff) {
  vg_.SetOption("fail_open", 1);
  TestDialog dialog(&clock_);
  dialog.show();

  EXPECT_EQ(BoxTexts(dialog), (Lines{"USB DEVICE not responding"}));
  EXPECT_EQ(dialog.boxes.at(0).caption, kTestTitle);
  EXPECT_EQ(dialog.windowTitle(), "USB port NOT OPEN");
  EXPECT_EQ(ButtonsEnabled(dialog), kAllDisabled);
  EXPECT_EQ(dialog.cursor().shape(), Qt::ArrowCursor);
  ExpectInitialContents(dialog);
  EXPECT_TRUE(vg_.Wire().empty());
}

TEST_F(AppStartup, OnTheGeneratorOneEndLoadAndTheButtonsOn) {
  auto dialog = OpenOnGenerator();

  EXPECT_EQ(vg_.Calls(),
            (Lines{"FT_OpenEx QVX5120I1 2 -> 0", "FT_ResetDevice -> 0",
                   "FT_SetTimeouts 3000 3000 -> 0", "FT_Purge 1 -> 0", "FT_SetTimeouts 100 0 -> 0",
                   "FT_Purge 1 -> 0", "FT_Write FF -> 0 1"}));
  EXPECT_EQ(VirtualGenerator::Hex(vg_.Wire()), "FF");
  EXPECT_TRUE(dialog->boxes.empty());
  EXPECT_EQ(dialog->titles, (Lines{"USB port OPEN"}));
  EXPECT_EQ(dialog->windowTitle(), "USB port OPEN");
  EXPECT_TRUE(dialog->link().connected());
  EXPECT_EQ(ButtonsEnabled(*dialog), kAllEnabled);
  EXPECT_EQ(dialog->cursor().shape(), Qt::ArrowCursor);
  EXPECT_EQ(dialog->cursor_display_count(), 1);
  EXPECT_EQ(clock_.pauses, 1);
  EXPECT_TRUE(clock_.waits.empty());
  ExpectInitialContents(*dialog);
  EXPECT_EQ(dialog->focusWidget(), dialog->Control(control::kDownloadPicture));
  EXPECT_EQ(dialog->windowIcon().availableSizes(), (QList<QSize>{QSize(32, 32), QSize(16, 16)}));

  // Showing the window again initialises nothing a second time.
  dialog->hide();
  dialog->show();
  EXPECT_EQ(vg_.Calls().size(), 7u);
  EXPECT_EQ(List(*dialog, control::kPictureCombo).count(), 2);
}

TEST(AppTitle, IsTheExecutableNameWithoutExtension) {
  EXPECT_EQ(TitleFromPath("/usr/local/bin/qvx5120"), "qvx5120");
  EXPECT_EQ(TitleFromPath("C:/Tools/qvx5120.exe"), "qvx5120");
  EXPECT_EQ(TitleFromPath("/opt/bench/line.loader.exe"), "line.loader");
  EXPECT_EQ(ApplicationTitle(), kTestTitle);
}

TEST_F(AppStartup, InitInstanceRunsTheWindowModallyAndReturnsFalse) {
  auto* app = qobject_cast<GeneratorApp*>(QCoreApplication::instance());
  ASSERT_NE(app, nullptr);
  QString title_while_open;
  bool was_modal = false;
  // Runs inside the window's modal loop: the user closes the window.
  QTimer::singleShot(0, [&] {
    QWidget* modal = QApplication::activeModalWidget();
    was_modal = qobject_cast<MainDialog*>(modal) != nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      if (auto* window = qobject_cast<MainDialog*>(widget); window && window->isVisible()) {
        title_while_open = window->windowTitle();
        window->close();
      }
    }
  });
  EXPECT_FALSE(app->InitInstance());
  EXPECT_TRUE(was_modal);
  EXPECT_EQ(title_while_open, "USB port OPEN");
  EXPECT_EQ(VirtualGenerator::Hex(vg_.Wire()), "FF");
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    EXPECT_EQ(qobject_cast<MainDialog*>(widget), nullptr) << "the window is gone after the run";
  }
}

}  // namespace
}  // namespace qvx::test
