// The preview against the flash reader: files prepared by the tool and by the library are loaded
// on the virtual generator, and `qvx5120-flash` exports each slot; the preview must be the same
// picture pixel for pixel.
#include <sys/wait.h>

#include <QPainter>
#include <cstdlib>
#include <fstream>

#include "cli/flash_tool.h"
#include "prep/preview.h"
#include "tests/cli/cli_fixture.h"
#include "tests/prep/prep_fixture.h"
#include "tests/support/test_files.h"

namespace qvx::test {
namespace {

// Saturated bars, thin lines and a ramp: colour edges inside pixel pairs and levels outside
// 16..235, where the stored picture differs most from the file.
QImage Busy() {
  QImage image(800, 600, QImage::Format_RGB32);
  QPainter painter(&image);
  const QColor bars[] = {Qt::white,   Qt::yellow, Qt::cyan, Qt::green,
                         Qt::magenta, Qt::red,    Qt::blue, Qt::black};
  for (int i = 0; i < 8; ++i)
    painter.fillRect(i * 100, 0, 100, 400, bars[i]);
  for (int x = 0; x < 800; ++x)
    painter.fillRect(x, 400, 1, 200, QColor(x * 255 / 799, 128, 255 - x * 255 / 799));
  painter.setPen(QPen(Qt::black, 1));
  for (int x = 0; x < 800; x += 7)
    painter.drawLine(x, 0, 800 - x, 600);
  return image;
}

std::vector<uint8_t> Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class PrepPreviewTest : public CliTest {};

TEST_F(PrepPreviewTest, PreviewEqualsTheFlashReadersExportAfterALoad) {
  const std::string busy = SaveImage(Busy(), "busy.png");
  prep::PrepOptions short_picture;
  short_picture.lines = 480;
  short_picture.fit = prep::Fit::kCrop;
  prep::PrepOptions banner;
  banner.kind = BmpKind::kBanner;
  const std::string picture_bmp = WriteFile("p576.bmp", Prepare(busy, {}).prepared.bmp);
  const std::string short_bmp = WriteFile("p480.bmp", Prepare(busy, short_picture).prepared.bmp);
  const std::string banner_bmp = WriteFile("b.bmp", Prepare(busy, banner).prepared.bmp);

  // The tool itself, as a user runs it: a text banner with its preview.
  const std::string text_bmp = TempDir() + "/text.bmp", text_preview = TempDir() + "/text.png";
  const std::string out = TempDir() + "/prep.out";
  const int raw = std::system((std::string(QVX_PREP_TOOL) + " banner --text 'STUDIO 3' '" +
                               text_bmp + "' --preview '" + text_preview + "' >'" + out + "'")
                                  .c_str());
  ASSERT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 0) << raw;
  const std::vector<uint8_t> said = Slurp(out);
  EXPECT_TRUE(std::string(said.begin(), said.end())
                  .starts_with(text_bmp + ": 720x72 banner, 576 lines 4:3, pixel aspect 59:54\n"
                                          "  text \"STUDIO 3\" in "))
      << std::string(said.begin(), said.end());

  const ToolRun run = Load({"picture", "1", picture_bmp, "picture", "2", short_bmp, "banner", "3",
                            banner_bmp, "countdown", text_bmp});
  ASSERT_EQ(run.status, cli::kExitCompleted) << run.err;
  const std::string flash = WriteFile("flash.bin", FlashCopy());

  struct Case {
    std::string bmp, command, slot;
  };
  for (const Case& c : {Case{picture_bmp, "picture", "1"}, Case{short_bmp, "picture", "2"},
                        Case{banner_bmp, "banner", "3"}, Case{text_bmp, "banner", "9"}}) {
    const std::string preview = c.bmp + ".preview.png";
    if (c.bmp != text_bmp)
      prep::WritePreview(c.bmp, preview);
    const std::string exported = c.bmp + ".flash.png";
    std::ostringstream flash_out, flash_err;
    const std::vector<std::string> args{"--image", flash, c.command, c.slot, exported};
    ASSERT_EQ(cli::RunFlashTool(args, flash_out, flash_err), cli::kFlashDone) << flash_err.str();
    const QImage shown(QString::fromStdString(c.bmp == text_bmp ? text_preview : preview));
    const QImage stored(QString::fromStdString(exported));
    EXPECT_EQ(shown.size(), stored.size()) << c.bmp;
    EXPECT_TRUE(shown == stored) << c.command << " " << c.slot;
  }
}

}  // namespace
}  // namespace qvx::test
