// Keeping and handing out the events.
#include "station_http/event_feed.h"

#include <charconv>
#include <cstdio>
#include <random>

#include "station_http/texts.h"

namespace qvx::station_http {

namespace {

Resume Reset(const char* reason) {
  Resume resume;
  resume.reset = true;
  resume.reason = reason;
  return resume;
}

}  // namespace

EventFeed::EventFeed(std::string run, size_t kept) : run_(std::move(run)), kept_(kept) {}

std::string EventFeed::NewRunId() {
  std::random_device random;
  char text[16];
  std::snprintf(text, sizeof text, "%08x", static_cast<unsigned>(random()));
  return text;
}

uint64_t EventFeed::Publish(std::string_view type, Json fields) {
  Json event = {{"type", type}, {"time", IsoTime(std::chrono::system_clock::now())}};
  event.update(fields);
  std::string data = Dump(event);
  uint64_t sequence = 0;
  {
    const std::lock_guard lock(mutex_);
    sequence = ++last_;
    events_.push_back({sequence, std::string(type), std::move(data)});
    while (events_.size() > kept_)
      events_.pop_front();
  }
  published_.notify_all();
  return sequence;
}

std::string EventFeed::IdOf(uint64_t sequence) const {
  return run_ + "-" + std::to_string(sequence);
}

uint64_t EventFeed::last() const {
  const std::lock_guard lock(mutex_);
  return last_;
}

Resume EventFeed::After(std::string_view last_event_id) const {
  const size_t dash = last_event_id.rfind('-');
  if (dash == std::string_view::npos)
    return Reset(text::kResetUnknown);
  if (last_event_id.substr(0, dash) != run_)
    return Reset(text::kResetOtherRun);
  const std::string_view digits = last_event_id.substr(dash + 1);
  uint64_t seen = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), seen);
  if (digits.empty() || error != std::errc() || end != digits.data() + digits.size())
    return Reset(text::kResetUnknown);
  const std::lock_guard lock(mutex_);
  if (seen > last_)
    return Reset(text::kResetUnknown);
  // The first event kept must be the one right after the last seen, or an earlier one.
  const uint64_t first_kept = events_.empty() ? last_ + 1 : events_.front().sequence;
  if (seen + 1 < first_kept)
    return Reset(text::kResetTooOld);
  Resume resume;
  resume.after = seen;
  for (const FeedEvent& event : events_) {
    if (event.sequence > seen)
      resume.events.push_back(event);
  }
  return resume;
}

std::vector<FeedEvent> EventFeed::Since(uint64_t sequence) const {
  const std::lock_guard lock(mutex_);
  std::vector<FeedEvent> events;
  for (auto it = events_.rbegin(); it != events_.rend() && it->sequence > sequence; ++it)
    events.push_back(*it);
  return {events.rbegin(), events.rend()};
}

void EventFeed::WaitAfter(uint64_t sequence, std::chrono::milliseconds most,
                          const std::atomic<bool>& stop) const {
  std::unique_lock lock(mutex_);
  published_.wait_for(lock, most, [&] { return stop.load() || last_ > sequence; });
}

void EventFeed::Wake() const {
  // Under the lock, so that a waiter between its look at `stop` and its wait is not missed.
  const std::lock_guard lock(mutex_);
  published_.notify_all();
}

}  // namespace qvx::station_http
