#include "packets/capture_time.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace pakscope {

namespace {

constexpr int64_t kNanosecondsPerSecond = 1'000'000'000;

// Whole seconds and the nanoseconds after them, both towards minus infinity.
struct Split {
  int64_t seconds;
  int64_t nanoseconds;
};

Split split(int64_t time) {
  Split s{time / kNanosecondsPerSecond, time % kNanosecondsPerSecond};
  if (s.nanoseconds < 0) {
    s.seconds -= 1;
    s.nanoseconds += kNanosecondsPerSecond;
  }
  return s;
}

std::string fraction(int64_t nanoseconds, bool nine) {
  char text[24];
  if (nine)
    std::snprintf(text, sizeof text, "%09lld", static_cast<long long>(nanoseconds));
  else
    std::snprintf(text, sizeof text, "%06lld", static_cast<long long>(nanoseconds / 1000));
  return text;
}

std::string formatTime(int64_t time, bool nanoseconds, bool utc) {
  const Split s = split(time);
  const auto seconds = static_cast<time_t>(s.seconds);
  std::tm parts{};
  const bool known =
      utc ? gmtime_r(&seconds, &parts) != nullptr : localtime_r(&seconds, &parts) != nullptr;
  if (!known) return "?";
  char text[64];
  if (utc)
    std::snprintf(text, sizeof text, "%04lld-%02d-%02dT%02d:%02d:%02d.",
                  static_cast<long long>(parts.tm_year) + 1900, parts.tm_mon + 1, parts.tm_mday,
                  parts.tm_hour, parts.tm_min, parts.tm_sec);
  else
    std::snprintf(text, sizeof text, "%02d.%02d.%04lld %02d:%02d:%02d.", parts.tm_mday,
                  parts.tm_mon + 1, static_cast<long long>(parts.tm_year) + 1900, parts.tm_hour,
                  parts.tm_min, parts.tm_sec);
  std::string out(text);
  out += fraction(s.nanoseconds, nanoseconds);
  if (utc) out += 'Z';
  return out;
}

}  // namespace

bool HoldsNanoseconds(const PacketList& list) noexcept {
  for (const PACKET& p : list)
    if (p.hasTime() && p.time % 1000 != 0) return true;
  return false;
}

std::string FormatUtcTime(int64_t time, bool nanoseconds) {
  return formatTime(time, nanoseconds, true);
}

std::string FormatLocalTime(int64_t time, bool nanoseconds) {
  return formatTime(time, nanoseconds, false);
}

std::string FormatSeconds(int64_t span, bool nanoseconds) {
  std::string text;
  if (span < 0) {
    text.push_back('-');
    span = span == INT64_MIN ? INT64_MAX : -span;
  }
  const Split s = split(span);
  text += std::to_string(s.seconds);
  text += ',';
  text += fraction(s.nanoseconds, nanoseconds);
  return text;
}

std::optional<CaptureSpan> CaptureSpanOf(const PacketList& list) noexcept {
  std::optional<CaptureSpan> span;
  for (const PACKET& p : list) {
    if (!p.hasTime()) continue;
    if (!span)
      span = CaptureSpan{p.time, p.time};
    else
      *span = {std::min(span->first, p.time), std::max(span->last, p.time)};
  }
  return span;
}

void CaptureSpanCounter::add(const PacketList& batch) noexcept {
  if (const std::optional<CaptureSpan> span = CaptureSpanOf(batch)) {
    span_ = span_ ? CaptureSpan{std::min(span_->first, span->first),
                                std::max(span_->last, span->last)}
                  : *span;
  }
  nanoseconds_ = nanoseconds_ || HoldsNanoseconds(batch);
}

std::string CaptureSpanCounter::describe() const {
  if (!span_) return {};
  // The difference of two int64 times may not fit int64: such a span is shown saturated.
  int64_t length;
  if (__builtin_sub_overflow(span_->last, span_->first, &length)) length = INT64_MAX;
  return "Начало: " + FormatUtcTime(span_->first, nanoseconds_) +
         ", конец: " + FormatUtcTime(span_->last, nanoseconds_) +
         ", длительность: " + FormatSeconds(length, nanoseconds_) + " с";
}

std::string DescribeCaptureSpan(const PacketList& list) {
  CaptureSpanCounter counter;
  counter.add(list);
  return counter.describe();
}

std::string PacketTimeStatus(const PacketList& list, size_t index, bool nanoseconds) {
  if (index >= list.size() || !list[index].hasTime()) return {};
  const int64_t time = list[index].time;
  std::string text = FormatLocalTime(time, nanoseconds);
  if (index > 0 && list[index - 1].hasTime()) {
    int64_t since;
    if (__builtin_sub_overflow(time, list[index - 1].time, &since))
      since = time > list[index - 1].time ? INT64_MAX : INT64_MIN + 1;
    text += since < 0 ? "  " : "  +";
    text += FormatSeconds(since, nanoseconds) + " с";
  }
  return text;
}

}  // namespace pakscope
