// Texts of the loader that carry a value.
#include "cli/load_texts.h"

#include "station_http/texts.h"

#include "encode/tone_synthesis.h"

namespace qvx::cli::text {

std::string StationOnly(std::string_view option) {
  return std::string(option) + " goes with --station";
}

std::string NotASlot(std::string_view kind, std::string_view text, int first, int last) {
  return std::string(kind) + " slot \"" + std::string(text) + "\" is not one of " +
         std::to_string(first) + " to " + std::to_string(last);
}

std::string NotATone(int channel, std::string_view label) {
  return "audio channel " + std::to_string(channel) + ": \"" + std::string(label) +
         "\" is not in the frequency list (" + ToneLabels() + ")";
}

std::string NotErasable(std::string_view what) {
  return "erase: \"" + std::string(what) + "\" is not picture, banner, countdown or pattern";
}

std::string NotAnOperation(std::string_view operation) {
  return "\"" + std::string(operation) + "\" is not an operation" + kSeeHelp;
}

std::string NotAnOption(std::string_view option) {
  return "\"" + std::string(option) + "\" is not an option" + kSeeHelp;
}

std::string ChannelWhat(int channel, const char* what) {
  return "channel " + std::to_string(channel) + " " + what;
}

std::string NothingLoadedUnrecorded(std::string_view path, std::string_view why) {
  std::string text = kRecordUnwritable + std::string(path);
  if (!why.empty())
    text += " (" + std::string(why) + ")";
  return text + "; nothing was loaded";
}

std::string StepCount(size_t index, size_t total) {
  return "[" + std::to_string(index + 1) + "/" + std::to_string(total) + "] ";
}

std::string StoppedAt(size_t index, size_t total) {
  return "stopped at operation " + std::to_string(index + 1) + " of " + std::to_string(total);
}

std::string AllCompleted(size_t total) {
  return "All " + std::to_string(total) + (total == 1 ? " operation" : " operations") +
         " completed.";
}

std::string LoadUsage() {
  return "Usage: qvx5120-load OPERATION [OPERATION...]\n"
         "       qvx5120-load [--unit SERIAL]... [--all-units] [--record FILE] [--retries N]\n"
         "                    [--operator TEXT] [--work-order TEXT] (--set FILE | OPERATION...)\n"
         "       qvx5120-load --list [--record FILE]\n"
         "       qvx5120-load --station [--stop-after N] [--retries N] [--operator TEXT]\n"
         "                    [--work-order TEXT] [--record FILE] [--ship URL]\n"
         "                    [--http [ADDRESS:]PORT [--http-token FILE]...]\n"
         "                    (--set FILE | OPERATION...)\n"
         "       qvx5120-load --pin FILE\n"
         "\n"
         "Loads content into the flash of a QVX5120 generator over USB, exactly as the window's\n"
         "download buttons do. The operations run in the order given, over one connection.\n"
         "Every operation erases its slot first. The whole command line, every file and every\n"
         "amplitude are checked before anything is sent to the generator.\n"
         "\n"
         "Operations:\n"
         "  picture <1|2> <file.bmp>      720x576 or 720x480 24-bit BMP into picture 1 or 2\n"
         "                                (about a minute)\n"
         "  banner <1..8> <file.bmp>      720x72 24-bit BMP into banner 1 to 8 (about 20 s)\n"
         "  countdown <file.bmp>          720x72 24-bit BMP into the countdown banner\n"
         "  pattern <0..15> <file.tst>    the first 2880 bytes of a .tst file into test pattern\n"
         "                                0 to 15\n"
         "  audio <f1> <a1> <f2> <a2> <f3> <a3> <f4> <a4>\n"
         "                                the audio loop: for channels 1 to 4 a frequency and an\n"
         "                                amplitude in dBFS, 0 (full scale) or below\n"
         "  erase picture <1|2>, erase banner <1..8>, erase countdown, erase pattern <0..15>\n"
         "                                clear a slot: erase it and write nothing\n"
         "\n"
         "Options:\n"
         "  --list                        print the attached generators: index, serial number,\n"
         "                                description\n"
         "  --unit SERIAL                 run on the generator with this serial number; repeat\n"
         "                                it to load several generators in parallel\n"
         "  --all-units                   run on every attached generator in parallel\n"
         "  --set FILE                    run the operations of a content set (a TOML file, see\n"
         "                                docs/content-sets.md) instead of the command line's\n"
         "  --record FILE                 append JSON lines to FILE for each unit's load: its "
         "start\n"
         "                                (on disk before anything is sent), each operation "
         "(time,\n"
         "                                host, unit, slot, the file's size and SHA-256, result)\n"
         "                                and its end; with --list, show what each unit last\n"
         "                                received. No unit is loaded while FILE takes no lines\n"
         "  --fit letterbox|crop|stretch  take pictures and banners in any format (PNG, JPEG,\n"
         "                                SVG, any BMP...) and prepare them in memory, fitted\n"
         "                                this way, as qvx5120-prep does; a file the slot takes\n"
         "                                as it is loads unchanged\n"
         "  --station                     a production station: load each generator as it is\n"
         "                                plugged in, each socket (USB port) on its own, until\n"
         "                                stopped; a board of the sockets on a terminal, a line\n"
         "                                per event elsewhere. Ctrl-C starts no new unit and lets\n"
         "                                the running loads finish; a second Ctrl-C cuts them off\n"
         "  --stop-after N                with --station: stop once N units have finished\n"
         "  --ship URL                    with --station: each record line, once on disk, goes\n"
         "                                on to the line's database at URL (docs/records.md)\n"
         "With --station, the station's HTTP interface (docs/http.md); with it, the station\n"
         "stays up after a stop that came over HTTP, until Ctrl-C or SIGTERM:\n" +
         station_http::text::OptionsUsage() +
         "  --retries N                   do an operation that failed through a device fault\n"
         "                                again from its erase, up to N (0 to 5) more times (the\n"
         "                                set's retries, else 0)\n"
         "  --operator TEXT, --work-order TEXT\n"
         "                                written into every record\n"
         "  --pin FILE                    print the content set FILE with every file pinned by\n"
         "                                its SHA-256, for a station to load that and nothing\n"
         "                                else; loads nothing\n"
         "\n"
         "Frequencies: " +
         ToneLabels() +
         "\n"
         "\n"
         "Exit status:\n"
         "  0  every operation completed\n"
         "  2  the command line is wrong (unknown operation, slot or frequency), or the content\n"
         "     set is malformed\n"
         "  3  an input was refused (on the command line or in the content set): a file that\n"
         "     cannot be read or that the slot does not take,\n"
         "     or an amplitude above 0 dBFS\n"
         "  4  the generator is not connected, or it failed during a download; with --station,\n"
         "     a unit that finished did not pass\n"
         "  5  every operation completed, but record lines had to be held because the record\n"
         "     file could not take them (they were written to standard error meanwhile), or no\n"
         "     unit was loaded because its first record line could not be written\n"
         "The operations stop at the first one that does not complete. With several units,\n"
         "each unit stops alone and the others carry on; the status is 0 only when every unit\n"
         "completed, otherwise the most serious of the units' statuses.\n"
         "\n"
         "Examples:\n"
         "  qvx5120-load banner 1 station-id.bmp\n"
         "  qvx5120-load picture 2 bars.bmp countdown count.bmp pattern 0 ramp.tst\n"
         "  qvx5120-load audio 1000Hz -18 1000Hz -18 Silence 0 400Hz -20\n"
         "  qvx5120-load erase banner 8 erase pattern 15\n"
         "  qvx5120-load --all-units --set station.toml\n"
         "  qvx5120-load --station --set station.toml --operator ana --work-order WO-1182\n"
         "  qvx5120-load --pin station.toml > station-approved.toml\n"
         "  qvx5120-load --unit QVX00002 --unit QVX00003 banner 1 station-id.bmp\n"
         "\n"
         "Without hardware, put the virtual generator first on the library path:\n"
         "  LD_LIBRARY_PATH=build/emulator build/cli/qvx5120-load banner 1 station-id.bmp\n";
}

std::string SocketLine(std::string_view port, std::string_view serial) {
  return std::string(port) + " " +
         (serial.empty() ? std::string("(no serial)") : std::string(serial)) + ": ";
}

std::string LoadingNote(size_t operations, std::string_view label) {
  std::string note =
      "loading " + std::to_string(operations) + (operations == 1 ? " operation" : " operations");
  if (!label.empty())
    note += ", label " + std::string(label);
  return note;
}

std::string AttemptNote(int attempt) {
  return " (attempt " + std::to_string(attempt) + ")";
}

std::string AttemptLine(size_t index, size_t total, std::string_view name, int attempt,
                        std::string_view outcome, std::string_view reason) {
  std::string line = "operation " + std::to_string(index + 1) + " of " + std::to_string(total) +
                     " (" + std::string(name) + "), attempt " + std::to_string(attempt) + ": " +
                     std::string(outcome);
  if (!reason.empty())
    line += ": " + std::string(reason);
  return line;
}

std::string LoadEndLine(std::string_view end, std::string_view time, std::string_view reason) {
  std::string line;
  for (const char c : end)
    line += static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  line += " in " + std::string(time);
  if (!reason.empty())
    line += ": " + std::string(reason);
  return line;
}

}  // namespace qvx::cli::text
