// The windows of its own the program puts on the screen during a download: the boxes, the About
// box, the file dialog, and nothing else without a title of its own. Such a window shows the
// program's name as its caption, so users and tools that answer boxes take it for one, and a
// window manager gives it a task-bar button.
#include <QApplication>
#include <QDir>
#include <QFileSystemModel>
#include <QTemporaryDir>
#include <QTest>
#include <optional>

#include "app/about_dialog.h"
#include "tests/app/fixture.h"
#include "tests/support/test_files.h"

namespace qvx::test {
namespace {

// The visible top-level windows other than the main window, the boxes, the About box and the file
// dialog that have no title of their own, each as "CLASS WIDTHxHEIGHT".
Lines NamelessWindows(const QWidget& main) {
  Lines found;
  for (const QWidget* window : QApplication::topLevelWidgets()) {
    if (window == &main || !window->isVisible() || !window->windowTitle().isEmpty() ||
        qobject_cast<const QMessageBox*>(window) || qobject_cast<const QFileDialog*>(window) ||
        qobject_cast<const AboutDialog*>(window))
      continue;
    found.push_back(std::string(window->metaObject()->className()) + " " +
                    std::to_string(window->width()) + "x" + std::to_string(window->height()));
  }
  return found;
}

struct Download {
  const char* name;
  int button;
  const char* file;  // typed into the file dialog; none for the audio loop
  std::vector<uint8_t> bytes;
};

class AppTopLevelWindows : public AppTest {
 protected:
  AppTopLevelWindows() : dialog_(OpenOnGenerator()) {}

  // Notes every nameless window up at this point of the download. The first point after a file
  // dialog waits until the dialog's model has read the typed path's folder: on its worker thread
  // that takes a moment, and on a user's machine its answer arrives while the download runs.
  void Look(const std::string& where) {
    if (reading_) {
      EXPECT_TRUE(QTest::qWaitFor([&] { return folder_read_; }, 5000)) << "the folder was read";
      QObject::disconnect(*reading_);
      reading_.reset();
    }
    for (const std::string& window : NamelessWindows(*dialog_))
      seen_.push_back(where + ": " + window);
  }

  // The user's part in the file dialog: in the file's folder, the file's name typed key by key
  // into the file-name line, then Return. Each file lies in a folder of its own, which the
  // dialog's model reads anew.
  void TypeInto(QFileDialog& file_dialog, const QString& path) {
    auto* model = file_dialog.findChild<QFileSystemModel*>();
    auto* name_edit = file_dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_NE(model, nullptr);
    ASSERT_NE(name_edit, nullptr);
    const QFileInfo file(path);
    folder_read_ = false;
    reading_ = QObject::connect(model, &QFileSystemModel::directoryLoaded,
                                [this, folder = file.absolutePath()](const QString& loaded) {
                                  folder_read_ = folder_read_ || loaded == folder;
                                });
    file_dialog.setDirectory(file.absolutePath());
    file_dialog.show();
    file_dialog.activateWindow();
    name_edit->setFocus();
    QTest::keyClicks(name_edit, file.fileName());
    QTest::keyClick(name_edit, Qt::Key_Return);
    EXPECT_FALSE(file_dialog.isVisible()) << "Return accepts the typed name";
  }

  std::unique_ptr<TestDialog> dialog_;
  Lines seen_;
  std::optional<QMetaObject::Connection> reading_;
  bool folder_read_ = false;
};

TEST_F(AppTopLevelWindows, NoNamelessWindowDuringAnyOfTheFiveDownloads) {
  std::vector<uint8_t> pattern(2880);
  for (size_t i = 0; i < pattern.size(); ++i)
    pattern[i] = static_cast<uint8_t>(i * 5 + 1);
  const Download downloads[] = {
      {"picture", control::kDownloadPicture, "picture.bmp", MakeBmp(576)},
      {"banner", control::kDownloadBanner, "banner.bmp", MakeBmp(72)},
      {"pattern", control::kDownloadTestPattern, "pattern.tst", pattern},
      {"audio", control::kDownloadAudio, nullptr, {}},
      {"countdown", control::kDownloadCountdown, "countdown.bmp", MakeBmp(72)},
  };
  QTemporaryDir folders;
  ASSERT_TRUE(folders.isValid());
  std::string where;
  dialog_->on_shown = [&](const std::string& line) { Look(where + ", " + line); };
  dialog_->on_box = [&](QMessageBox& box) { Look(where + ", box " + box.text().toStdString()); };
  clock_.on_wait = [&](size_t wait) { Look(where + ", wait " + std::to_string(wait)); };
  QString typed;
  dialog_->on_file_dialog = [&](QFileDialog& file_dialog) { TypeInto(file_dialog, typed); };

  for (const Download& download : downloads) {
    where = download.name;
    dialog_->file_answers.clear();
    if (download.file != nullptr) {
      ASSERT_TRUE(QDir(folders.path()).mkdir(QString::fromLatin1(download.name)));
      typed = folders.filePath(QString::fromLatin1(download.name) + QLatin1Char('/') +
                               QString::fromLatin1(download.file));
      QFile file(typed);
      ASSERT_TRUE(file.open(QIODevice::WriteOnly));
      file.write(reinterpret_cast<const char*>(download.bytes.data()),
                 static_cast<qint64>(download.bytes.size()));
      file.close();
      dialog_->file_answers.push_back(typed);
    }
    const size_t boxes = dialog_->boxes.size();
    QTest::mouseClick(&Button(*dialog_, download.button), Qt::LeftButton);
    ASSERT_EQ(dialog_->boxes.size(), boxes + 1) << where;
    EXPECT_EQ(dialog_->boxes.back().text.toStdString(), "Download Complete") << where;
    Look(where + ", ended");
  }
  EXPECT_EQ(dialog_->file_dialogs.size(), 4u);
  EXPECT_EQ(seen_, Lines{});
}

}  // namespace
}  // namespace qvx::test
