// The station window in-process on a virtual rack, with loads that never wait: each tile and
// control carries the name a screen reader says, a pass and a fail ask for their two sounds, a
// pulled unit's tile goes back to Empty, and a set that cannot be opened is said in a box.
#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QTest>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <fstream>
#include <set>

#include "app/station_window.h"
#include "tests/support/rack_file.h"
#include "tests/support/recording_clock.h"
#include "tests/support/test_files.h"
#include "tests/support/virtual_generator.h"

namespace qvx::test {
namespace {

using station_window::Sound;
using Lines = std::vector<std::string>;

class RecordingSounds final : public StationSoundPlayer {
 public:
  void Play(Sound sound) override { played.push_back(sound); }
  std::vector<Sound> played;
};

// The window with its boxes taken down instead of shown.
class TestStationWindow final : public StationWindow {
 public:
  using StationWindow::StationWindow;
  Lines boxes;
  std::optional<std::string> chosen;  // what the file dialog answers

 protected:
  void PresentBox(const QString& text) override { boxes.push_back(text.toStdString()); }
  std::optional<std::string> ChooseSet() override { return chosen; }
};

class StationWindowTest : public testing::Test {
 protected:
  StationWindowTest() {
    const std::vector<uint8_t> banner = MakeBmp(72);
    WriteFile("station-window-banner.bmp", banner);
    set = TempDir() + "/station-window.toml";
    std::ofstream(set) << "[banners]\n2 = \"station-window-banner.bmp\"\n";
  }
  ~StationWindowTest() override {
    core.reset();  // its station watches the generator until then
    for (const char* name : {"QVX_VG_FAULT_UNIT", "QVX_VG_GLITCH_AFTER"})
      unsetenv(name);
    vg_.Reset();
  }

  // The window on a core whose loads never wait (each wait runs `on_wait` instead), with the
  // options given.
  std::unique_ptr<TestStationWindow> Open(station_window::StationWindowOptions options,
                                          std::function<void(size_t)> on_wait = {}) {
    core = std::make_unique<station_window::StationWindowCore>(
        library, std::move(options), [on_wait](const station::SocketView&) {
          auto clock = std::make_unique<RecordingClock>();
          clock->on_wait = on_wait;
          return clock;
        });
    auto window = std::make_unique<TestStationWindow>(*core, sounds);
    window->show();
    window->Begin();
    return window;
  }

  // What a screen reader is told the widget is called.
  static std::string Name(QWidget& widget) {
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(&widget);
    return face != nullptr ? face->text(QAccessible::Name).toStdString() : std::string();
  }

  static Lines TileNames(const StationWindow& window) {
    Lines names;
    for (StationTile* tile : window.tiles())
      names.push_back(Name(*tile));
    return names;
  }

  // The texts the tile shows, top to bottom (an empty line keeps its place but says nothing).
  static Lines TileTexts(const StationTile& tile) {
    Lines texts;
    for (const QLabel* line : tile.findChildren<QLabel*>())
      if (line->isVisibleTo(&tile) && !line->text().isEmpty())
        texts.push_back(line->text().toStdString());
    return texts;
  }

  VirtualGenerator vg_;
  SystemLibraryLoader library;
  RecordingSounds sounds;
  TestRack rack{"station-window-rack"};
  std::string set;
  std::unique_ptr<station_window::StationWindowCore> core;
};

TEST_F(StationWindowTest, EveryTileAndControlIsNamedAndAPassAndAFailSoundApart) {
  // Unit 2's link drops mid-load and there is no retry: it fails.
  setenv("QVX_VG_FAULT_UNIT", "QVX00002", 1);
  setenv("QVX_VG_GLITCH_AFTER", "20000", 1);
  rack.Write({"QVX00001 1-1.1", "QVX00002 1-1.2"});
  vg_.Reset();
  station_window::StationWindowOptions options;
  options.set_file = set;
  options.lock = true;
  options.retries = 0;
  auto window = Open(options);
  EXPECT_TRUE(window->boxes.empty()) << window->boxes.front();

  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return window->windowTitle() == "QVX5120 Station - 1 passed, 1 failed"; }, 30000))
      << window->windowTitle().toStdString();
  EXPECT_EQ(TileNames(*window),
            (Lines{"Socket 1-1.1, QVX00001, pass", "Socket 1-1.2, QVX00002, fail"}));
  const Lines pass = TileTexts(*window->tiles()[0]);
  ASSERT_FALSE(pass.empty());
  EXPECT_EQ(pass.front(), "Socket 1-1.1");
  EXPECT_NE(std::find(pass.begin(), pass.end(), "QVX00001"), pass.end());
  EXPECT_NE(std::find(pass.begin(), pass.end(), "PASS"), pass.end());
  const Lines fail = TileTexts(*window->tiles()[1]);
  ASSERT_NE(std::find(fail.begin(), fail.end(), "FAIL"), fail.end());
  // The reason follows the verdict, in words.
  EXPECT_GT(std::find(fail.begin(), fail.end(), "FAIL")[1].size(), 10u) << fail.back();
  std::vector<Sound> played = sounds.played;
  std::sort(played.begin(), played.end());
  EXPECT_EQ(played, (std::vector<Sound>{Sound::kPass, Sound::kFail}));

  EXPECT_EQ(Name(window->start_button()), "Start");
  EXPECT_EQ(Name(window->stop_button()), "Stop");
  EXPECT_EQ(Name(window->open_button()), "Open content set");
  EXPECT_EQ(Name(window->scan_field()), "Scanned label");
  // Locked to its set, the window offers no Open; while the station runs Start is shut, so Tab
  // runs between the scan field and Stop, past the board.
  EXPECT_FALSE(window->open_button().isVisible());
  EXPECT_EQ(window->focusWidget(), &window->scan_field());
  std::vector<QWidget*> chain;
  for (int i = 0; i < 3; ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    chain.push_back(QApplication::focusWidget());
  }
  EXPECT_EQ(chain, (std::vector<QWidget*>{&window->stop_button(), &window->scan_field(),
                                          &window->stop_button()}));

  // The passed unit pulled: its socket is empty again.
  rack.Write({"QVX00002 1-1.2"});
  EXPECT_TRUE(
      QTest::qWaitFor([&] { return TileNames(*window).front() == "Socket 1-1.1, empty"; }, 30000));
  EXPECT_EQ(TileTexts(*window->tiles()[0]), (Lines{"Socket 1-1.1", "Empty"}));
}

TEST_F(StationWindowTest, ASetThatCannotBeOpenedIsSaidInABoxAndNothingStarts) {
  station_window::StationWindowOptions options;
  options.set_file = TempDir() + "/no-such-set.toml";
  auto window = Open(options);
  ASSERT_EQ(window->boxes.size(), 1u);
  EXPECT_TRUE(window->boxes[0].starts_with("no-such-set.toml cannot be loaded: "))
      << window->boxes[0];
  EXPECT_TRUE(window->boxes[0].ends_with("nothing was sent to any generator.")) << window->boxes[0];
  EXPECT_FALSE(window->start_button().isEnabled());
  EXPECT_TRUE(window->open_button().isVisible());
  EXPECT_TRUE(window->open_button().isEnabled());
  EXPECT_EQ(window->windowTitle(), "QVX5120 Station - 0 passed, 0 failed");
}

// Without a set on the command line nothing starts by itself: the operator opens a set, presses
// Alt+S for Start, and the board lays its tiles out as the window's width allows; Alt+T stops.
TEST_F(StationWindowTest, ASetOpenedThroughTheDialogRunsOnStartAndTheTilesReflow) {
  rack.Write({"QVX00001 1-1.1", "QVX00002 1-1.2", "QVX00003 1-1.3"});
  vg_.Reset();
  auto window = Open({});
  EXPECT_FALSE(window->start_button().isEnabled());
  EXPECT_FALSE(window->stop_button().isEnabled());
  ASSERT_TRUE(window->open_button().isEnabled());
  window->chosen = set;
  QTest::mouseClick(&window->open_button(), Qt::LeftButton);
  EXPECT_TRUE(window->boxes.empty()) << window->boxes.front();
  EXPECT_TRUE(window->tiles().empty()) << "a unit was loaded before Start";
  const auto bar = window->findChildren<QLabel*>();
  EXPECT_TRUE(std::any_of(bar.begin(), bar.end(), [&](const QLabel* label) {
    return label->text().toStdString() ==
           "Set station-window.toml  " + Sha256Sum(set).substr(0, 12);
  }));
  ASSERT_TRUE(window->start_button().isEnabled());
  // Start and Stop by their mnemonics, from the scan field.
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  QTest::keyClick(window->windowHandle(), Qt::Key_S, Qt::AltModifier);
  // A mnemonic presses its button as a click would, drawn down for a moment first.
  EXPECT_TRUE(QTest::qWaitFor([&] { return !window->open_button().isEnabled(); }));
  EXPECT_EQ(window->focusWidget(), &window->scan_field())
      << "the scanner types into the scan field";
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return window->windowTitle() == "QVX5120 Station - 3 passed, 0 failed"; }, 30000));

  const auto rows = [&] {
    QTest::qWait(50);  // the layout settles
    std::set<int> tops;
    for (const StationTile* tile : window->tiles())
      tops.insert(tile->geometry().top());
    return tops.size();
  };
  window->resize(window->tiles().front()->minimumWidth() * 4, window->height());
  EXPECT_EQ(rows(), 1u);
  // As narrow as the window goes: the tiles stack, none cut off at the right.
  window->resize(1, window->height());
  EXPECT_GT(rows(), 1u);
  for (const StationTile* tile : window->tiles())
    EXPECT_LE(tile->geometry().right(), tile->parentWidget()->width()) << window->width();

  QTest::keyClick(window->windowHandle(), Qt::Key_T, Qt::AltModifier);
  EXPECT_TRUE(QTest::qWaitFor([&] { return window->start_button().isEnabled(); }, 30000));
  EXPECT_TRUE(window->open_button().isEnabled());
  EXPECT_FALSE(window->stop_button().isEnabled());
}

// The close box while a unit loads stops the station and keeps the window until the load has
// ended; then it closes by itself.
TEST_F(StationWindowTest, ClosedMidLoadTheWindowWaitsForTheLoadThenCloses) {
  rack.Write({"QVX00001 1-1.1"});
  vg_.Reset();
  std::atomic<bool> held{true};
  station_window::StationWindowOptions options;
  options.set_file = set;
  auto window = Open(options, [&](size_t) {
    while (held)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
  });
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return TileNames(*window) == Lines{"Socket 1-1.1, QVX00001, loading"}; }, 30000));
  EXPECT_FALSE(window->close());
  EXPECT_TRUE(window->isVisible());
  const auto labels = window->findChildren<QLabel*>();
  EXPECT_TRUE(std::any_of(labels.begin(), labels.end(), [](const QLabel* label) {
    return label->text() == "Closing once the running loads finish (close again to cut them off)";
  }));
  held = false;
  EXPECT_TRUE(QTest::qWaitFor([&] { return !window->isVisible(); }, 30000));
  EXPECT_EQ(TileNames(*window), Lines{"Socket 1-1.1, QVX00001, pass"});
  EXPECT_EQ(sounds.played, std::vector<Sound>{Sound::kPass});
}

// Records that cannot be written hold up no load; the window says so once.
TEST_F(StationWindowTest, RecordsThatCannotBeWrittenHoldEveryUnitBackAndAreSaidOnceInABox) {
  rack.Write({"QVX00001 1-1.1", "QVX00002 1-1.2"});
  vg_.Reset();
  station_window::StationWindowOptions options;
  options.set_file = set;
  options.record_file = TempDir();  // a folder: no line can be appended to it
  auto window = Open(options);
  // Without its first line on disk no load begins: both units wait, and the status says why.
  ASSERT_TRUE(QTest::qWaitFor([&] { return window->boxes.size() == 1; }, 30000));
  QTest::qWait(3 * StationWindow::kTickMs);  // ticks enough for a second box, were there one
  ASSERT_EQ(window->boxes.size(), 1u);
  EXPECT_TRUE(window->boxes[0].starts_with("Records held back: " + TempDir() + " takes no line"))
      << window->boxes[0];
  EXPECT_EQ(window->windowTitle(), "QVX5120 Station - 0 passed, 0 failed");
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        return TileNames(*window) ==
               Lines{"Socket 1-1.1, QVX00001, waiting", "Socket 1-1.2, QVX00002, waiting"};
      },
      5000));
  EXPECT_EQ(TileTexts(*window->tiles()[0]),
            (Lines{"Socket 1-1.1", "QVX00001",
                   "waiting: the record cannot be written, so no load "
                   "starts"}));
  EXPECT_TRUE(core->View().status.starts_with("Records held back: ")) << core->View().status;
}

}  // namespace
}  // namespace qvx::test
