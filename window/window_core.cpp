// The window core: start-up, routing and the rules of a running operation.
//
// A download runs on the user-interface thread for up to a minute. So that the window stays
// painted and the desktop does not take it for hung, the wall clock's idle hook and the title,
// progress and cursor updates let the front end handle its pending events while an operation
// runs. That must not let the user start a second operation or end the dialog mid-way, so the
// front end shuts out its own input while busy, and every route here checks busy first; a close
// asked for meanwhile is kept for when the operation has ended. Modal boxes and the file dialog
// are windows of their own and work as usual.
#include "window/window_core.h"

#include "window/controls.h"
#include "window/templates.h"

namespace qvx {
namespace {

// The buttons of the main window, the downloads they start and the list that picks the slot: the
// window's message map.
struct ButtonRoute {
  int button_id;
  SlotKind kind;
  std::optional<int> slot_list;  // none: the kind has one slot
};
constexpr std::array<ButtonRoute, 5> kButtonRoutes = {{
    {control::kDownloadPicture, SlotKind::kPicture, control::kPictureCombo},
    {control::kDownloadBanner, SlotKind::kBanner, control::kBannerCombo},
    {control::kDownloadTestPattern, SlotKind::kPattern, control::kPatternCombo},
    {control::kDownloadAudio, SlotKind::kAudio, std::nullopt},
    {control::kDownloadCountdown, SlotKind::kCountdown, std::nullopt},
}};

// Marks the window busy for as long as an operation runs.
class BusyScope {
 public:
  BusyScope(bool& busy, WindowSurface& surface) : busy_(busy), surface_(surface) {
    busy_ = true;
    surface_.SetInputEnabled(false);
  }
  ~BusyScope() {
    surface_.SetInputEnabled(true);
    busy_ = false;
  }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;

 private:
  bool& busy_;
  WindowSurface& surface_;
};

}  // namespace

WindowCore::WindowCore(WindowSurface& surface, LibraryLoader& loader, Clock* clock)
    : surface_(surface),
      own_clock_(clock ? nullptr : std::make_unique<SystemClock>([this] { KeepAlive(); })),
      connection_(*this, clock ? *clock : *own_clock_, loader) {}

void WindowCore::Initialise() {
  for (const resources::ListItems& list : resources::InitialListItems()) {
    for (std::string_view item : list.items)
      surface_.AddListItem(list.list_id, item);
  }
  if (!resources::kAboutMenuText.empty())
    surface_.AddSystemMenuEntry(resources::kAboutMenuText, resources::kAboutCommandId);
  surface_.SetIcon(resources::kApplicationIconId);

  DownloadState& state = connection_.downloads.state();
  state.BannerNumber = 0;
  surface_.SelectRow(control::kBannerCombo, 0);
  state.PatternNumber = 0;
  surface_.SelectRow(control::kPatternCombo, 0);
  state.PictureIndex = 0;
  surface_.SelectRow(control::kPictureCombo, 0);
  state.SectorIndex = 0;
  for (int id : control::kFrequencyCombos)
    surface_.SelectRow(id, 0);
  for (int id : control::kAmplitudeEdits)
    surface_.SetText(id, "0.0");
  surface_.SetProgress(0);

  connection_.Connect();
  FocusFirstControl();
}

void WindowCore::FocusFirstControl() {
  for (const resources::ControlTemplate& spec : resources::MainTemplate().controls) {
    if (resources::TakesFocus(spec.kind) && surface_.ControlEnabled(spec.id)) {
      surface_.FocusControl(spec.id);
      return;
    }
  }
}

bool WindowCore::Clicked(int control_id) {
  for (const ButtonRoute& route : kButtonRoutes) {
    if (route.button_id == control_id) {
      RunOperation(route.button_id, route.kind);
      return true;
    }
  }
  return false;
}

bool WindowCore::SystemCommand(int command_id) {
  const int command = command_id & 0xFFF0;
  if (command == resources::kAboutCommandId) {
    // A system-menu command that arrives while a download runs is input like any other.
    if (!busy_)
      surface_.RunAbout();
    return true;
  }
  if (command == kCloseCommand) {
    EndRequested();
    return true;
  }
  return false;
}

void WindowCore::HelpKey() {
  SystemCommand(resources::kAboutCommandId);
}

void WindowCore::EndRequested() {
  // A window that served no messages while busy left a close waiting in its queue until the
  // operation was over; this one serves them, so it keeps the request instead of dropping it.
  if (busy_) {
    end_requested_ = true;
    return;
  }
  surface_.Close();
}

DownloadRequest WindowCore::Request(SlotKind kind) const {
  std::optional<int> slot_list;
  for (const ButtonRoute& route : kButtonRoutes) {
    if (route.kind == kind)
      slot_list = route.slot_list;
  }
  DownloadRequest request{Slot::FromRow(kind, slot_list ? surface_.SelectedRow(*slot_list) : 0),
                          {}};
  if (request.slot.info().source == SlotSource::kTones) {
    for (int ch = 0; ch < kAudioChannels; ++ch) {
      request.audio.tone_rows[ch] = surface_.SelectedRow(control::kFrequencyCombos[ch]);
      request.audio.amplitudes[ch] = surface_.Text(control::kAmplitudeEdits[ch]);
    }
  }
  return request;
}

void WindowCore::RunOperation(int button_id, SlotKind kind) {
  if (busy_)
    return;  // one operation at a time, whatever reaches the window meanwhile
  {
    // The request is taken before anything runs: the operation never reads the window back.
    const DownloadRequest request = Request(kind);
    BusyScope scope(busy_, surface_);
    connection_.downloads.Run(request);
  }
  // Disabling the focused button moved the focus along the tab chain; give it back, so Enter and
  // the arrow keys act where the user left them.
  if (surface_.ControlEnabled(button_id))
    surface_.FocusControl(button_id);
  if (end_requested_) {
    end_requested_ = false;
    surface_.Close();
  }
}

void WindowCore::KeepAlive() {
  if (busy_)
    surface_.ProcessPendingEvents();
}

void WindowCore::ShowMessage(std::string_view text) {
  surface_.ShowBox(text, std::nullopt, BoxIcon::kNone);
}

void WindowCore::ShowInformation(std::string_view text, std::string_view caption) {
  surface_.ShowBox(text, caption, BoxIcon::kInformation);
}

void WindowCore::SetTitle(std::string_view title) {
  surface_.SetTitle(title);
  KeepAlive();
}

void WindowCore::SetProgress(int position) {
  surface_.SetProgress(position);
  KeepAlive();
}

void WindowCore::EnableDownloadButtons(bool enabled) {
  for (int id : control::kDownloadButtons)
    surface_.EnableControl(id, enabled);
}

void WindowCore::ShowWaitCursor() {
  // The wait cursor means "an operation runs". A window without a generator keeps its buttons
  // off for good, but its lists, edits and About box still work, so it keeps the arrow.
  if (busy_)
    surface_.SetCursor(CursorShape::kWait);
  ++cursor_display_count_;
  KeepAlive();
}

void WindowCore::ShowArrowCursor() {
  surface_.SetCursor(CursorShape::kArrow);
  ++cursor_display_count_;
}

void WindowCore::Repaint() {
  surface_.Repaint();
  KeepAlive();
}

void WindowCore::ShowAmplitude(int channel, std::string_view text) {
  surface_.SetText(control::kAmplitudeEdits.at(static_cast<size_t>(channel - 1)), text);
}

std::optional<std::string> WindowCore::ChooseFile(const FileFilter& filter) {
  return surface_.ChooseFile(filter);
}

}  // namespace qvx
