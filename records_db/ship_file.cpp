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

FileShipper::~FileShipper() {
  Forget();
}

void FileShipper::Resume(Database& database) {
  Forget();
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

std::optional<FileShipper::Batch> FileShipper::Read() {
  Batch batch;
  batch.end = reader_->offset();
  batch.last = reader_->next_number() - 1;
  auto take = [&](const std::string& line, int64_t number, bool whole) {
    auto read = ReadRecordLine(line);
    if (auto* row = std::get_if<RecordRow>(&read)) {
      row->line_number = number;
      if (row->jsonb_problem)
        batch.named.push_back(text::AtLine(path_, number, *row->jsonb_problem));
      batch.rows.push_back(std::move(*row));
    } else {
      const std::string& why = std::get<NotARecord>(read).why;
      batch.named.push_back(text::Skipped(path_, number, whole ? why : text::kHalfLine));
      ++batch.skipped;
    }
  };
  size_t read = 0;
  while (read < batch_lines_) {
    auto line = reader_->Next();
    if (!line)
      break;
    ++read;
    batch.end = line->end;
    batch.last = line->number;
    if (!Blank(line->text))
      take(line->text, line->number, true);
  }
  if (read == 0) {
    if (last_line_ != LastLine::kTakeIfWhole || last_taken_ || Blank(reader_->rest()))
      return std::nullopt;
    // Shipped, but not marked: the line may still get its break, and is read again next time.
    last_taken_ = batch.unterminated = true;
    take(reader_->rest(), reader_->next_number(), false);
  }
  return batch;
}

void FileShipper::Forget() {
  if (ahead_.valid())
    ahead_.wait();
  ahead_ = {};
  reader_.reset();
  last_taken_ = false;
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
  std::optional<Batch> batch = ahead_.valid() ? ahead_.get() : Read();
  if (!batch)
    return false;
  // The tool reads and parses the next batch while the database takes this one: the two halves
  // of the work then share the machine's processors.
  if (last_line_ == LastLine::kTakeIfWhole)
    ahead_ = std::async(std::launch::async, [this] { return Read(); });
  std::optional<ShipMark> mark;
  if (head_ && !batch->unterminated)
    mark = ShipMark{*head_, offset_, batch->end, batch->last};
  BatchResult result;
  try {
    result = BatchShipper(database, source_).Ship(batch->rows, mark);
  } catch (const DatabaseError&) {
    Forget();
    throw;
  }
  for (const KeptAsText& kept : result.kept_as_text)
    batch->named.push_back(text::AtLine(path_, kept.line_number, text::KeptAsText(kept.why)));
  problems.insert(problems.end(), batch->named.begin(), batch->named.end());
  tally.records += batch->rows.size();
  tally.added += result.added;
  tally.skipped += batch->skipped;
  if (!batch->unterminated) {
    offset_ = batch->end;
    next_line_ = batch->last + 1;
  }
  return true;
}

}  // namespace qvx::records_db
