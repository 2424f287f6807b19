#include "app/station_tile.h"
#include "app/qt_text.h"

#include <QFontMetrics>
#include <QVBoxLayout>
#include <algorithm>

#include "station_window/texts.h"

namespace qvx {

namespace {

// Sizes relative to the window's font, so that a larger font or scale factor grows the tile rather
// than clipping it. The verdict is read from about three metres.
constexpr int kHeadingPercent = 150;
constexpr int kVerdictPercent = 500;
// A tile is about this many average characters wide: a reason wraps inside it.
constexpr int kTileWidthCharacters = 30;

}  // namespace

StationTile::StationTile(QWidget* parent) : QFrame(parent) {
  setFrameShape(QFrame::StyledPanel);
  setFocusPolicy(Qt::NoFocus);
  auto* layout = new QVBoxLayout(this);
  heading_ = Line(kHeadingPercent, true);
  serial_ = Line(100, false);
  label_ = Line(100, false);
  operation_ = Line(100, false);
  progress_ = new QProgressBar(this);
  progress_->setRange(0, 100);
  progress_->setFocusPolicy(Qt::NoFocus);
  elapsed_ = Line(100, false);
  verdict_ = Line(kVerdictPercent, true);
  verdict_->setAlignment(Qt::AlignCenter);
  // Only the operation and the reason run long enough to wrap. A wrapped label's height is laid
  // out again for every change of its text, and the time changes every second in every tile.
  for (QLabel* short_line : {heading_, serial_, label_, elapsed_, verdict_}) {
    short_line->setWordWrap(false);
    short_line->setMinimumHeight(short_line->fontMetrics().height());
  }
  QSizePolicy bar_policy = progress_->sizePolicy();
  bar_policy.setRetainSizeWhenHidden(true);
  progress_->setSizePolicy(bar_policy);
  verdict_->setAutoFillBackground(true);
  reason_ = Line(kHeadingPercent, true);
  for (QWidget* line : std::initializer_list<QWidget*>{heading_, serial_, label_, operation_,
                                                       progress_, elapsed_, verdict_, reason_})
    layout->addWidget(line);
  layout->addStretch();
  // Wide enough for the verdict whole, whatever the font and scale.
  const QFontMetrics verdict(verdict_->font());
  const int verdict_width =
      std::max(verdict.horizontalAdvance(QString::fromUtf8(station_window::text::kPass)),
               verdict.horizontalAdvance(QString::fromUtf8(station_window::text::kFail))) +
      verdict.averageCharWidth() + layout->contentsMargins().left() +
      layout->contentsMargins().right() + 2 * frameWidth();
  setMinimumWidth(std::max(fontMetrics().averageCharWidth() * kTileWidthCharacters, verdict_width));
  setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
}

QLabel* StationTile::Line(int scale_percent, bool bold) {
  auto* line = new QLabel(this);
  QFont font = line->font();
  font.setPointSizeF(font.pointSizeF() * scale_percent / 100);
  font.setBold(bold);
  line->setFont(font);
  line->setWordWrap(true);
  line->setTextInteractionFlags(Qt::NoTextInteraction);
  return line;
}

bool StationTile::Show(const station_window::TileView& view) {
  if (shown_ && view == view_)
    return false;
  shown_ = true;
  view_ = view;
  using station_window::Verdict;
  // The short lines keep their place when empty, so a tile's layout stays as it is while its unit
  // loads and ends; only the reason, which may wrap, comes and goes.
  const auto set = [](QLabel* line, const std::string& text) { line->setText(ToQString(text)); };
  set(heading_, view.heading);
  set(serial_, view.serial);
  set(label_, view.label);
  set(operation_, view.operation);
  progress_->setVisible(view.progress >= 0);
  if (view.progress >= 0)
    progress_->setValue(view.progress);
  set(elapsed_, view.elapsed);
  set(verdict_, view.verdict_text);
  set(reason_, view.reason);
  reason_->setVisible(!view.reason.empty());
  QPalette palette = verdict_->palette();
  if (view.verdict != Verdict::kNone) {
    palette.setColor(QPalette::Window, view.verdict == Verdict::kPass ? QColor(0x1b, 0x7a, 0x2e)
                                                                      : QColor(0xc0, 0x1c, 0x1c));
    palette.setColor(QPalette::WindowText, Qt::white);
  }
  verdict_->setPalette(palette);
  setAccessibleName(ToQString(view.accessible_name));
  return true;
}

}  // namespace qvx
