// qvx5120-load with pictures that are not the generator's file: refused with the way to --fit,
// prepared in memory with it (the stored picture is the preview of the same preparation), and
// `fit` per entry in content sets.
#include <QPainter>
#include <fstream>

#include "download/kinds/image_slots.h"
#include "flash/flash_files.h"
#include "flash/flash_image.h"
#include "prep/preview.h"
#include "tests/cli/cli_fixture.h"
#include "tests/download/image_check.h"
#include "tests/prep/prep_fixture.h"
#include "tests/support/test_files.h"

namespace qvx::test {
namespace {

using flash::DecodeImage;
using flash::FlashImage;
using flash::ImageSlot;
using flash::WritePng;

const std::string kHint =
    "; qvx5120-prep picture makes the file the generator takes, or load it with --fit letterbox, "
    "crop or stretch";

std::string Logo() {
  QImage image(300, 200, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setBrush(Qt::yellow);
  painter.drawEllipse(20, 20, 260, 160);
  return SaveImage(image, "logo.png");
}

class LoadFitTest : public CliTest {};

TEST_F(LoadFitTest, OtherFormatsNeedFitAndArePreparedInMemory) {
  const std::string logo = Logo();
  const ToolRun refused = Load({"picture", "1", logo});
  EXPECT_EQ(refused.status, cli::kExitRefused);
  EXPECT_EQ(refused.err, "qvx5120-load: " + logo +
                             ": Incorrect Picture file format: a PNG image, not a BMP file" +
                             kHint + "; nothing was sent to the generator\n");
  EXPECT_EQ(refused.calls, Lines{});

  // The same preparation in the library, and its preview.
  prep::PrepOptions crop;
  crop.fit = prep::Fit::kCrop;
  const std::string bmp = WriteFile("logo-crop.bmp", Prepare(logo, crop).prepared.bmp);
  const std::string preview = TempDir() + "/logo-crop.png";
  prep::WritePreview(bmp, preview);

  // A banner the slot takes as it is loads unchanged.
  const std::string banner = WriteFile("fit-banner.bmp", MakeBmp(72));
  const ToolRun run = Load({"--fit", "crop", "picture", "1", logo, "banner", "2", banner});
  ASSERT_EQ(run.status, cli::kExitCompleted) << run.err;
  // 3:2 cropped to 576 lines of 720 x 59/54 = 786.67 units: 200 rows give 2.88 lines each, so
  // 786.67 / 2.88 = 273.1 of the 300 columns show, from 13.4.
  EXPECT_TRUE(run.out.starts_with(logo +
                                  ": prepared in memory for picture 1, crop: source 273.1x200 "
                                  "from 13.4,0 on columns 0..719, rows 0..575\n"))
      << run.out;
  EXPECT_NE(run.out.find("[1/2] picture 1 from " + logo + "\n"), std::string::npos);
  EXPECT_EQ(run.out.find("prepared in memory for banner"), std::string::npos);

  const FlashImage flash(FlashCopy());
  const std::string stored = TempDir() + "/logo-stored.png";
  WritePng(DecodeImage(flash, PictureImageSlot(1)), stored);
  EXPECT_TRUE(QImage(QString::fromStdString(stored)) == QImage(QString::fromStdString(preview)));
  const ImageSlot banner_slot = BannerImageSlot(2);
  EXPECT_TRUE(LineHolds(generator, banner_slot.first_field, 0, 0));
  EXPECT_TRUE(LineHolds(generator, banner_slot.second_field, 35, 71));
}

TEST_F(LoadFitTest, ContentSetsGiveFitPerEntry) {
  Logo();
  const std::string set = TempDir() + "/fit.toml";
  std::ofstream(set) << "[pictures]\n1 = { file = \"logo.png\", fit = \"letterbox\" }\n"
                        "[banners]\n2 = { file = \"logo.png\", fit = \"crop\" }\n";
  const ToolRun run = Load({"--set", set});
  EXPECT_EQ(run.status, cli::kExitCompleted) << run.err;
  EXPECT_NE(run.out.find("logo.png: prepared in memory for banner 2, crop: "), std::string::npos)
      << run.out;

  std::ofstream(set)
      << "[pictures]\n1 = { file = \"logo.png\", fit = \"squash\" }\n"
         "[banners]\n2 = { fit = \"crop\" }\n3 = { file = \"logo.png\", size = 1 }\n";
  const ToolRun bad = Load({"--set", set});
  EXPECT_EQ(bad.status, cli::kExitUsage);
  EXPECT_EQ(bad.err, "qvx5120-load: " + set +
                         ": banners.2: names no file\n"
                         "qvx5120-load: " +
                         set +
                         ": banners.3.size: unknown key (expected file, sha256 and fit)\n"
                         "qvx5120-load: " +
                         set +
                         ": pictures.1.fit: must be \"letterbox\", \"crop\" or \"stretch\"\n"
                         "qvx5120-load: nothing was sent to the generator\n");

  EXPECT_EQ(Load({"--fit", "crop", "--set", set}).err,
            "qvx5120-load: --fit applies to the operations on the command line; a content set "
            "gives fit per entry\n");
}

}  // namespace
}  // namespace qvx::test
