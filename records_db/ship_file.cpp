// Shipping a record file from its mark on.
#include "records_db/ship_file.h"

#include <cstdio>
#include <filesystem>

#include "records/record.h"
#include "records_db/texts.h"

namespace qvx::records_db {
namespace {

bool Blank(const std::string& text) {
  return text.find_first_not_of(" \t\r") == std::string::npos;
}

// Whether `offset` is just past a line break of the file: a mark that still fits it.
bool EndsALine(const std::string& path, uint64_t offset) {
  if (offset == 0)
    return true;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr)
    return false;
  const bool fits =
      std::fseek(file, static_cast<long>(offset - 1), SEEK_SET) == 0 && std::fgetc(file) == '\n';
  std::fclose(file);
  return fits;
}

}  // namespace

std::string SourceOf(const std::string& path) {
  std::error_code error;
  std::filesystem::path absolute = std::filesystem::weakly_canonical(path, error);
  if (error)
    absolute = std::filesystem::absolute(path, error).lexically_normal();
  return records::HostName() + ":" + absolute.string();
}

FileShipper::FileShipper(std::string path, size_t batch_lines, LastLine last_line)
    : path_(std::move(path)),
      source_(SourceOf(path_)),
      batch_lines_(batch_lines),
      last_line_(last_line) {}

void FileShipper::Resume(Database& database) {
  reader_.reset();
  last_taken_ = false;
  offset_ = 0;
  next_line_ = 1;
  head_ = HeadOf(path_);
  if (!head_)
    return;
  const auto mark = LastMark(database, source_, *head_);
  if (mark && EndsALine(path_, mark->through_offset)) {
    offset_ = mark->through_offset;
    next_line_ = mark->through_line + 1;
  }
}

bool FileShipper::ShipBatch(Database& database, ShipTally& tally,
                            std::vector<std::string>& problems) {
  if (!reader_) {
    reader_ = std::make_unique<SpoolReader>(path_, offset_, next_line_);
    readable_ = reader_->is_open();
  }
  if (!readable_) {
    reader_.reset();
    return false;
  }
  // A file that was empty at the start may have its first line now.
  if (!head_)
    head_ = HeadOf(path_);
  std::vector<RecordRow> rows;
  std::vector<std::string> named;
  size_t skipped = 0;
  uint64_t end = offset_;
  int64_t last = next_line_ - 1;
  auto take = [&](const std::string& line, int64_t number, bool whole) {
    auto read = ReadRecordLine(line);
    if (auto* row = std::get_if<RecordRow>(&read)) {
      row->line_number = number;
      if (row->jsonb_problem)
        named.push_back(text::AtLine(path_, number, *row->jsonb_problem));
      rows.push_back(std::move(*row));
    } else {
      const std::string& why = std::get<NotARecord>(read).why;
      named.push_back(text::Skipped(path_, number, whole ? why : text::kHalfLine));
      ++skipped;
    }
  };
  size_t read = 0;
  while (read < batch_lines_) {
    auto line = reader_->Next();
    if (!line)
      break;
    ++read;
    end = line->end;
    last = line->number;
    if (!Blank(line->text))
      take(line->text, line->number, true);
  }
  bool unterminated = false;
  if (read == 0) {
    if (last_line_ != LastLine::kTakeIfWhole || last_taken_ || Blank(reader_->rest()))
      return false;
    // Shipped, but not marked: the line may still get its break, and is read again next time.
    last_taken_ = unterminated = true;
    take(reader_->rest(), reader_->next_number(), false);
  }
  std::optional<ShipMark> mark;
  if (head_ && !unterminated)
    mark = ShipMark{*head_, offset_, end, last};
  BatchResult result;
  try {
    result = BatchShipper(database, source_).Ship(rows, mark);
  } catch (const DatabaseError&) {
    reader_.reset();
    last_taken_ = false;
    throw;
  }
  for (const KeptAsText& kept : result.kept_as_text)
    named.push_back(text::AtLine(path_, kept.line_number, text::KeptAsText(kept.why)));
  problems.insert(problems.end(), named.begin(), named.end());
  tally.records += rows.size();
  tally.added += result.added;
  tally.skipped += skipped;
  if (!unterminated) {
    offset_ = end;
    next_line_ = last + 1;
  }
  return true;
}

}  // namespace qvx::records_db
