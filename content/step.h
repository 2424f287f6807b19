// One step of a load: what the window's lists, edits and file dialog would give for one
// operation, read from a command line or a content set, with the files it reads. Nothing here
// touches the device.
#pragma once

#include <optional>
#include <string>

#include "download/request.h"
#include "prep/geometry.h"

namespace qvx::content {

struct LoadStep {
  // Loads `file` (none for the audio loop) as the request says, prepared with `fit` if given.
  static LoadStep Load(DownloadRequest request, std::string file = {},
                       std::optional<prep::Fit> fit = std::nullopt) {
    LoadStep step;
    step.request = std::move(request);
    step.file = std::move(file);
    step.fit = fit;
    return step;
  }
  // Erases the slot and writes nothing.
  static LoadStep Erase(const Slot& slot) {
    LoadStep step;
    step.request = {slot, {}};
    step.erase = true;
    return step;
  }

  // The download as the window's button would start it: the slot, and for the audio loop the
  // frequency rows and amplitude texts of channels 1 to 4.
  DownloadRequest request = DownloadRequest::Picture(0);
  // The content file; empty for the audio loop and for an erase.
  std::string file;
  // The SHA-256 a content set pinned the file to (lower-case hex); empty when not pinned.
  std::string pinned_sha256;
  // Erase the slot and write nothing, as when the file dialog is cancelled.
  bool erase = false;
  // A picture or banner to prepare when the slot does not take `file` as it is (cli/load_prep.h),
  // and where the prepared file is then.
  std::optional<prep::Fit> fit;
  std::string prepared_file;
  // A private copy of `file`, taken once, that everything reads instead (the station's).
  std::string snapshot;

  SlotKind kind() const { return request.slot.kind(); }
  // The file as read: the snapshot, if one was taken.
  const std::string& input() const { return snapshot.empty() ? file : snapshot; }
  // The file the download reads.
  const std::string& source() const { return prepared_file.empty() ? input() : prepared_file; }
  bool operator==(const LoadStep&) const = default;
};

// Why the step's input cannot be loaded (a file that cannot be read or that the slot would refuse,
// an amplitude above 0 dBFS), or nothing when it can. Reads only the file's header.
std::optional<std::string> CheckStepInput(const LoadStep& step);

// "banner 3 from logo.bmp", "erase pattern 0", "audio 1000Hz -6, Silence 0, ...".
std::string Describe(const LoadStep& step);

}  // namespace qvx::content
