// The five download operations. Each runs from its button's click to its end inside the common
// operation frame: buttons off and wait cursor, loading mode, erase, file, transfer, loading mode
// off, buttons back, completion box. An operation takes the user's choices as a request and reports
// through the window port; it reads nothing back from the window. The frame lives here; the steps
// of each kind's download live with the kind (download/kinds/), which `Run` asks.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "device/protocol.h"
#include "download/content_file.h"
#include "download/request.h"
#include "download/text_format.h"
#include "port/window_port.h"

namespace qvx {

// The slot numbers and the sector the last operation used: the window's members of the same
// names. Everything else an operation needs lives only as long as the operation.
struct DownloadState {
  uint16_t PictureIndex = 0;
  uint16_t BannerNumber = 0;
  uint16_t PatternNumber = 0;
  uint16_t SectorIndex = 0;
};

// How an operation ended.
enum class Outcome {
  kCompleted,   // content written; "Download Complete" shown
  kLeftErased,  // file dialog cancelled or file not opened: slot erased, "Download Complete" shown
  kRefused,     // the content failed its check; its box shown, nothing written
  kFailed,      // a device fault or a file that failed mid-read; one box, no completion
  kNotConnected,  // nothing sent
};

struct ImageKind;

class Downloads {
 public:
  Downloads(DeviceLink& link, WindowPort& window) : link_(link), window_(window) {}

  // Runs the download of the request's kind.
  Outcome Run(const DownloadRequest& request);

  const DownloadState& state() const { return state_; }
  DownloadState& state() { return state_; }

  // The kinds' downloads, which their modules name; everything else calls `Run`.
  Outcome DownloadImage(const ImageKind& kind, const Slot& slot);
  Outcome DownloadTestPattern(const Slot& slot);
  Outcome DownloadAudio(const AudioSettings& audio);

 private:
  // The finished title, the banner's extra wait, the completion box and the repaint.
  void CloseImageDownload(const ImageKind& kind);
  // Sends the rows of an accepted picture (8 bands of 36 line pairs) or banner (one band).
  void TransferImage(const ImageKind& kind, const Slot& slot, ContentFile& file, uint64_t data_end);
  void EraseImage(const ImageKind& kind, const Slot& slot);
  void ErasePattern(const Slot& slot);
  void EraseAudio();
  void WritePattern(const Slot& slot, std::span<const uint8_t> pattern);

  // Opening of the frame: buttons off, receive buffer emptied, (the window repainted,) loading
  // mode, one second. The image downloads repaint; the pattern and audio downloads do not.
  enum class Repaint { kWindow, kNothing };
  void OpenFrame(Repaint repaint);
  // Runs `body`; a device fault or a file that fails mid-read ends the operation with one box
  // naming `slot`. False when it did.
  template <typename Body>
  bool Guarded(const OperationTexts& texts, int slot, Body&& body);
  void Fail(const std::string& what_failed, const OperationTexts& texts, int slot);

  DeviceLink& link_;
  WindowPort& window_;
  DownloadState state_;
};

template <typename Body>
bool Downloads::Guarded(const OperationTexts& texts, int slot, Body&& body) {
  try {
    body();
    return true;
  } catch (const DeviceFault& fault) {
    Fail(fault.what(), texts, slot);
  } catch (const FileReadError& error) {
    Fail(error.what(), texts, slot);
  }
  return false;
}

}  // namespace qvx
