#include "app/station_window.h"
#include "app/qt_text.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QVBoxLayout>
#include <iostream>
#include <utility>

#include "station_window/texts.h"

namespace qvx {

namespace text = station_window::text;

namespace {

QLabel* BarLabel(QWidget* parent) {
  auto* label = new QLabel(parent);
  label->setWordWrap(true);
  QFont font = label->font();
  font.setBold(true);
  label->setFont(font);
  return label;
}

QPushButton* Button(const char* caption, const char* name, QWidget* parent) {
  auto* button = new QPushButton(QString::fromUtf8(caption), parent);
  button->setAccessibleName(QString::fromUtf8(name));
  button->setAutoDefault(false);
  return button;
}

}  // namespace

StationWindow::StationWindow(station_window::StationWindowCore& core, StationSoundPlayer& sounds,
                             QWidget* parent)
    : QWidget(parent),
      core_(core),
      sounds_(sounds),
      trace_(qEnvironmentVariable(kStationTraceVariable) == QLatin1String("1")) {
  auto* layout = new QVBoxLayout(this);

  auto* bar = new QHBoxLayout;
  totals_ = BarLabel(this);
  set_ = BarLabel(this);
  operator_ = BarLabel(this);
  work_order_ = BarLabel(this);
  // The set's name and digest may wrap; the short facts keep to one line.
  for (QLabel* label : {totals_, operator_, work_order_})
    label->setWordWrap(false);
  bar->addWidget(totals_);
  bar->addWidget(set_, 1);
  bar->addWidget(operator_);
  bar->addWidget(work_order_);
  bar->setSpacing(bar->spacing() * 4);
  layout->addLayout(bar);

  scroll_ = new QScrollArea(this);
  scroll_->setWidgetResizable(true);
  scroll_->setFocusPolicy(Qt::NoFocus);
  board_ = new QWidget(scroll_);
  grid_ = new QGridLayout(board_);
  grid_->setAlignment(Qt::AlignTop | Qt::AlignLeft);
  scroll_->setWidget(board_);
  // The board's width is known once the scroll area has laid itself out.
  scroll_->viewport()->installEventFilter(this);
  layout->addWidget(scroll_, 1);

  status_ = new QLabel(this);
  status_->setWordWrap(true);
  layout->addWidget(status_);

  auto* controls = new QHBoxLayout;
  auto* scan_label = new QLabel(QString::fromUtf8(text::kScanLabel), this);
  scan_ = new QLineEdit(this);
  scan_->setAccessibleName(QString::fromUtf8(text::kScanName));
  scan_label->setBuddy(scan_);
  start_ = Button(text::kStart, text::kStartName, this);
  stop_ = Button(text::kStop, text::kStopName, this);
  open_ = Button(text::kOpen, text::kOpenName, this);
  open_->setVisible(!core_.options().lock);
  controls->addWidget(scan_label);
  controls->addWidget(scan_, 1);
  for (QPushButton* button : {start_, stop_, open_})
    controls->addWidget(button);
  layout->addLayout(controls);
  setTabOrder(scan_, start_);
  setTabOrder(start_, stop_);
  setTabOrder(stop_, open_);

  connect(start_, &QPushButton::clicked, this, &StationWindow::OnStart);
  connect(stop_, &QPushButton::clicked, this, &StationWindow::OnStop);
  connect(open_, &QPushButton::clicked, this, &StationWindow::OnOpen);
  connect(scan_, &QLineEdit::returnPressed, this, &StationWindow::OnScan);
  connect(&timer_, &QTimer::timeout, this, &StationWindow::Tick);

  Paint(core_.View());
  scan_->setFocus();
  timer_.start(kTickMs);
}

void StationWindow::Begin() {
  Refused(core_.StartUp());
  Tick();
}

void StationWindow::Tick() {
  Paint(core_.View());
  for (const station_window::Sound sound : core_.TakeSounds())
    sounds_.Play(sound);
  const auto due = core_.Tick(boxes_up_ > 0);
  if (due.box)
    PresentBox(ToQString(*due.box));
  if (due.close)
    close();
}

void StationWindow::Refused(const std::optional<std::string>& refusal) {
  if (refusal)
    PresentBox(ToQString(*refusal));
}

void StationWindow::PresentBox(const QString& text) {
  QMessageBox box(QMessageBox::Warning, QString::fromUtf8(text::kBoxCaption), text, QMessageBox::Ok,
                  this);
  // The timer goes on painting under the box, but shows nothing over it and closes nothing.
  ++boxes_up_;
  box.exec();
  --boxes_up_;
  if (boxes_up_ == 0 && std::exchange(close_deferred_, false))
    close();
}

std::optional<std::string> StationWindow::ChooseSet() {
  const QString file = QFileDialog::getOpenFileName(this, QString::fromUtf8(text::kOpenCaption),
                                                    QString(), QString::fromUtf8(text::kSetFilter));
  if (file.isEmpty())
    return std::nullopt;
  return file.toStdString();
}

void StationWindow::Paint(const station_window::BoardView& view) {
  if (painted_ && view == view_)
    return;
  const bool first = !painted_;
  painted_ = true;
  if (first || view.title != view_.title)
    setWindowTitle(ToQString(view.title));
  totals_->setText(ToQString(view.totals));
  set_->setText(ToQString(view.set));
  operator_->setText(ToQString(view.operator_name));
  work_order_->setText(ToQString(view.work_order));
  if (trace_ && (first || view.status != view_.status))
    std::cout << "status " << view.status << std::endl;
  status_->setText(ToQString(view.status));
  start_->setEnabled(view.can_start);
  stop_->setEnabled(view.can_stop);
  open_->setEnabled(view.can_open);

  const size_t old_count = tiles_.size();
  const bool count_changed = old_count != view.tiles.size();
  while (tiles_.size() > view.tiles.size()) {
    delete tiles_.back();
    tiles_.pop_back();
  }
  while (tiles_.size() < view.tiles.size())
    tiles_.push_back(new StationTile(board_));
  for (size_t i = 0; i < tiles_.size(); ++i) {
    const bool renamed =
        i >= old_count || tiles_[i]->view().accessible_name != view.tiles[i].accessible_name;
    tiles_[i]->Show(view.tiles[i]);
    if (trace_ && renamed)
      std::cout << "tile " << view.tiles[i].accessible_name << std::endl;
  }
  view_ = view;
  if (count_changed) {
    columns_ = 0;
    Reflow();
  }
}

// As many columns as whole tiles fit across the board, at least one.
void StationWindow::Reflow() {
  if (tiles_.empty())
    return;
  const int spacing = grid_->horizontalSpacing();
  const int margins = grid_->contentsMargins().left() + grid_->contentsMargins().right();
  const int tile_width = tiles_.front()->minimumWidth() + spacing;
  const int width = scroll_->viewport()->width() - margins;
  const int columns = std::max(1, width / std::max(1, tile_width));
  if (columns == columns_)
    return;
  columns_ = columns;
  for (StationTile* tile : tiles_)
    grid_->removeWidget(tile);
  for (size_t i = 0; i < tiles_.size(); ++i)
    grid_->addWidget(tiles_[i], static_cast<int>(i) / columns, static_cast<int>(i) % columns);
  // Columns of one width.
  for (int column = 0; column < grid_->columnCount(); ++column)
    grid_->setColumnStretch(column, column < columns ? 1 : 0);
}

bool StationWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == scroll_->viewport() && event->type() == QEvent::Resize)
    Reflow();
  return QWidget::eventFilter(watched, event);
}

void StationWindow::closeEvent(QCloseEvent* event) {
  // A close asked for under one of the window's own boxes waits until the box is answered.
  if (boxes_up_ > 0) {
    close_deferred_ = true;
    event->ignore();
    return;
  }
  if (core_.RequestClose()) {
    timer_.stop();
    event->accept();
  } else {
    event->ignore();
    Tick();
  }
}

void StationWindow::OnStart() {
  Refused(core_.Start());
  scan_->setFocus();
  Tick();
}

void StationWindow::OnStop() {
  core_.Stop();
  scan_->setFocus();
  Tick();
}

void StationWindow::OnOpen() {
  if (const auto file = ChooseSet())
    Refused(core_.OpenSet(*file));
  scan_->setFocus();
  Tick();
}

void StationWindow::OnScan() {
  core_.Scan(scan_->text().toStdString());
  scan_->clear();
  Tick();
}

}  // namespace qvx
