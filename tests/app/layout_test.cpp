// The main window's layout from template 102, the dialog units it is measured in, and the icons.
#include <QGroupBox>
#include <QLabel>
#include <algorithm>

#include "app/dialog_units.h"
#include "app/resources/icons.h"
#include "tests/app/fixture.h"
#include "window/templates.h"

namespace qvx::test {
namespace {

TEST(AppDialogUnits, ScaleAsTheWindowsDialogManagerDoes) {
  // The base units of 8-point MS Sans Serif at 96 dpi.
  const DialogUnits units(6, 13);
  EXPECT_EQ(units.X(180), 270);
  EXPECT_EQ(units.Y(383), 622);  // 622.375
  EXPECT_EQ(units.X(29), 44);    // 43.5 rounds up
  EXPECT_EQ(units.Y(34), 55);    // 55.25
  EXPECT_EQ(units.Y(4), 7);      // 6.5 rounds up
  EXPECT_EQ(units.X(0), 0);
  EXPECT_EQ(units.Rect(29, 34, 119, 20), QRect(44, 55, 179, 33));
  const DialogUnits wide(7, 14);
  EXPECT_EQ(wide.Rect(6, 353, 166, 23), QRect(11, 618, 291, 40));
}

TEST(AppDialogUnits, ComeFromTheFontsLetterWidthAndHeight) {
  QFont font = DialogFont();
  EXPECT_EQ(font.pointSize(), 8);
  const QFontMetrics metrics(font);
  const DialogUnits units = DialogUnits::ForFont(font);
  const int letters = metrics.horizontalAdvance(
      QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  EXPECT_LE(std::abs(units.base_x() * 52 - letters), 26);
  EXPECT_EQ(units.base_y(), metrics.height());
}

class AppLayout : public AppTest {
 protected:
  AppLayout() : dialog_(&clock_, &loader_), units_(DialogUnits::ForFont(dialog_.font())) {
    dialog_.show();
  }

  QWidget* LabelWithText(const QString& text) const {
    for (QLabel* label : dialog_.findChildren<QLabel*>()) {
      if (label->text() == text)
        return label;
    }
    return nullptr;
  }

  NoLibraryLoader loader_;
  TestDialog dialog_;
  DialogUnits units_;
};

TEST_F(AppLayout, CaptionSizeFontAndFrame) {
  TestDialog fresh(&clock_, &loader_);
  EXPECT_EQ(fresh.windowTitle(), "QVX5120     ");
  EXPECT_EQ(fresh.font().pointSize(), 8);
  const QSize size(units_.X(180), units_.Y(383));
  EXPECT_EQ(fresh.minimumSize(), size);
  EXPECT_EQ(fresh.maximumSize(), size);
  EXPECT_EQ(dialog_.size(), size);
  // The template's proportions survive the change of font, to within a unit's rounding.
  EXPECT_NEAR(double(size.width()) / units_.base_x() * 4, 180, 0.5);
  EXPECT_NEAR(double(size.height()) / units_.base_y() * 8, 383, 0.5);

  const Qt::WindowFlags flags = fresh.windowFlags();
  EXPECT_TRUE(flags & Qt::WindowTitleHint);
  EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
  EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
  EXPECT_FALSE(flags & Qt::WindowContextHelpButtonHint);
  EXPECT_EQ(fresh.windowType(), Qt::Dialog);
}

TEST_F(AppLayout, ControlsSitWhereTheTemplatePutsThem) {
  EXPECT_EQ(dialog_.Control(control::kDownloadPicture)->geometry(), units_.Rect(29, 34, 119, 20));
  EXPECT_EQ(dialog_.Control(control::kDownloadCountdown)->geometry(),
            units_.Rect(29, 322, 119, 20));
  EXPECT_EQ(dialog_.Control(control::kProgressBar)->geometry(), units_.Rect(6, 353, 166, 23));
  EXPECT_EQ(dialog_.Control(control::kAmplitudeEdits[0])->geometry(),
            units_.Rect(109, 218, 29, 12));
  EXPECT_EQ(dialog_.Control(control::kAmplitudeEdits[3])->geometry(),
            units_.Rect(109, 266, 29, 12));
  ASSERT_NE(LabelWithText("Test Pattern Number"), nullptr);
  EXPECT_EQ(LabelWithText("Test Pattern Number")->geometry(), units_.Rect(29, 145, 66, 8));

  // A list's template height is its dropped height; closed it has its own height.
  QComboBox& picture = List(dialog_, control::kPictureCombo);
  EXPECT_EQ(picture.pos(), QPoint(units_.X(100), units_.Y(17)));
  EXPECT_EQ(picture.width(), units_.X(48));
  EXPECT_EQ(picture.height(), picture.sizeHint().height());
  EXPECT_LT(picture.height(), units_.Y(58));
  EXPECT_GE(List(dialog_, control::kFrequencyCombos[0]).maxVisibleItems(), 1);
}

TEST_F(AppLayout, KindsAndTextsOfTheControls) {
  std::vector<std::string> buttons;
  for (int id : control::kDownloadButtons) {
    QPushButton& button = Button(dialog_, id);
    buttons.push_back(button.text().toStdString());
    // Enter in an edit must reach the dialog, so no push button is a default button.
    EXPECT_FALSE(button.isDefault());
    EXPECT_FALSE(button.autoDefault());
  }
  EXPECT_EQ(buttons, (Lines{"Download Picture", "Download Banner", "Download Test Pattern",
                            "Download Audio", "Download Countdown"}));
  EXPECT_EQ(dialog_.findChildren<QPushButton*>().size(), 5);
  EXPECT_EQ(dialog_.findChildren<QComboBox*>().size(), 7);
  EXPECT_EQ(dialog_.findChildren<QLineEdit*>(QString(), Qt::FindDirectChildrenOnly).size(), 4);
  for (QComboBox* list : dialog_.findChildren<QComboBox*>())
    EXPECT_FALSE(list->isEditable());
  EXPECT_FALSE(Progress(dialog_).isTextVisible());

  Lines groups;
  for (QGroupBox* group : dialog_.findChildren<QGroupBox*>()) {
    groups.push_back(group->title().toStdString());
  }
  std::sort(groups.begin(), groups.end());
  EXPECT_EQ(groups, (Lines{"Audio Generator", "Banner Generator", "Picture Generator",
                           "Test Pattern Generator"}));

  Lines labels;
  for (QLabel* label : dialog_.findChildren<QLabel*>()) {
    labels.push_back(label->text().toStdString());
    EXPECT_EQ(label->alignment(), Qt::AlignLeft | Qt::AlignTop);
    EXPECT_EQ(label->textFormat(), Qt::PlainText);
  }
  std::sort(labels.begin(), labels.end());
  EXPECT_EQ(labels, (Lines{"Amplitude", "Banner Number", "Channel 1", "Channel 2", "Channel 3",
                           "Channel 4", "Frequency", "Picture Number", "Test Pattern Number",
                           "dBFS", "dBFS", "dBFS", "dBFS"}));
}

TEST_F(AppLayout, TabOrderFollowsTheTemplate) {
  std::vector<int> order;
  QWidget* first = dialog_.Control(control::kDownloadPicture);
  QWidget* widget = first;
  do {
    if (widget->focusPolicy() & Qt::TabFocus) {
      order.push_back(widget->property(kControlIdProperty).toInt());
    }
    widget = widget->nextInFocusChain();
  } while (widget != first && order.size() < 40);
  EXPECT_EQ(order, (std::vector<int>{1000, 1002, 1010, 1047, 1027, 1048, 1049, 1050, 1051, 1052,
                                     1028, 1053, 1056, 1057, 1058, 1033}));
}

TEST_F(AppLayout, NothingCoversAControlOrClipsItsText) {
  // Every control that takes input is the widget found at its own centre: no group box or other
  // control lies on top of it, and no two of them overlap.
  std::vector<QWidget*> inputs;
  for (const BuiltControl& control : dialog_.controls()) {
    if (control.widget->focusPolicy() & Qt::TabFocus)
      inputs.push_back(control.widget);
  }
  ASSERT_EQ(inputs.size(), 16u);
  for (QWidget* input : inputs) {
    QWidget* hit = dialog_.childAt(input->geometry().center());
    EXPECT_TRUE(hit == input || input->isAncestorOf(hit))
        << input->property(kControlIdProperty).toInt();
    for (QWidget* other : inputs) {
      if (other != input) {
        EXPECT_FALSE(input->geometry().intersects(other->geometry()));
      }
    }
  }
  // Labels and buttons are wide enough for their texts in this font.
  for (QLabel* label : dialog_.findChildren<QLabel*>()) {
    EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->width())
        << label->text().toStdString();
    EXPECT_LE(label->fontMetrics().height(), label->height()) << label->text().toStdString();
  }
  for (QPushButton* button : dialog_.findChildren<QPushButton*>()) {
    EXPECT_LE(button->sizeHint().width(), button->width()) << button->text().toStdString();
  }
  EXPECT_TRUE(dialog_.rect().contains(dialog_.childrenRect()));
}

TEST(AppIcons, TwoSizesInTheSixteenColourPalette) {
  for (int id : {resources::kApplicationIconId, resources::kAboutIconId}) {
    for (int size : {32, 16}) {
      const QImage image = resources::IconImage(id, size);
      ASSERT_EQ(image.size(), QSize(size, size)) << id;
      std::vector<QRgb> used;
      for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
          const QRgb pixel = image.pixel(x, y);
          if (qAlpha(pixel) == 0)
            continue;
          ASSERT_EQ(qAlpha(pixel), 255) << id << " " << x << "," << y;
          const QRgb colour = pixel | 0xFF000000u;
          ASSERT_NE(
              std::find(resources::kIconPalette.begin(), resources::kIconPalette.end(), colour),
              resources::kIconPalette.end())
              << id << " " << x << "," << y;
          if (std::find(used.begin(), used.end(), colour) == used.end())
            used.push_back(colour);
        }
      }
      EXPECT_GE(used.size(), 6u) << id << " at " << size;  // the bars alone bring eight
    }
  }
  EXPECT_NE(resources::IconImage(resources::kApplicationIconId, 32),
            resources::IconImage(resources::kAboutIconId, 32));
  EXPECT_TRUE(resources::IconImage(999, 32).isNull());
}

}  // namespace
}  // namespace qvx::test
