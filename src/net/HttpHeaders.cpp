#include "net/HttpHeaders.h"

#include <array>

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// Reads exactly `digits` decimal digits at the front of `text`.
bool TakeNumber(std::string_view& text, size_t digits, int& value) {
  if (text.size() < digits) return false;
  value = 0;
  for (size_t i = 0; i < digits; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    value = value * 10 + (text[i] - '0');
  }
  text.remove_prefix(digits);
  return true;
}

bool TakeLiteral(std::string_view& text, std::string_view literal) {
  if (text.substr(0, literal.size()) != literal) return false;
  text.remove_prefix(literal.size());
  return true;
}

bool TakeMonth(std::string_view& text, int& month) {
  static constexpr std::array<std::string_view, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                                "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  for (size_t i = 0; i < kMonths.size(); ++i) {
    if (TakeLiteral(text, kMonths[i])) {
      month = static_cast<int>(i) + 1;
      return true;
    }
  }
  return false;
}

// "08:49:37"
bool TakeTime(std::string_view& text, int& hour, int& minute, int& second) {
  return TakeNumber(text, 2, hour) && TakeLiteral(text, ":") && TakeNumber(text, 2, minute) &&
         TakeLiteral(text, ":") && TakeNumber(text, 2, second);
}

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
int64_t DaysFromCivil(int64_t year, int month, int day) {
  year -= month <= 2;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t yearOfEra = year - era * 400;
  const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

std::optional<int64_t> ToUnix(int year, int month, int day, int hour, int minute, int second) {
  static constexpr std::array<int, 12> kDays = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (day < 1 || day > kDays[static_cast<size_t>(month - 1)] || hour > 23 || minute > 59 || second > 60)
    return std::nullopt;
  return DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
}

}  // namespace

bool IsSendableHeaderValue(std::wstring_view value) {
  if (value.empty() || value.size() > kMaxHeaderValueChars) return false;
  for (wchar_t c : value)
    if (c < 0x20 || c == 0x7F) return false;
  return true;
}

std::optional<int64_t> ParseHttpDate(std::string_view text) {
  text = Trim(text);
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  const size_t comma = text.find(',');
  if (comma == 3) {  // "Sun, 06 Nov 1994 08:49:37 GMT"
    std::string_view rest = text.substr(5);
    if (text[4] == ' ' && TakeNumber(rest, 2, day) && TakeLiteral(rest, " ") && TakeMonth(rest, month) &&
        TakeLiteral(rest, " ") && TakeNumber(rest, 4, year) && TakeLiteral(rest, " ") &&
        TakeTime(rest, hour, minute, second) && rest == " GMT")
      return ToUnix(year, month, day, hour, minute, second);
    return std::nullopt;
  }
  if (comma != std::string_view::npos) {  // "Sunday, 06-Nov-94 08:49:37 GMT"
    std::string_view rest = text.substr(comma + 1);
    if (TakeLiteral(rest, " ") && TakeNumber(rest, 2, day) && TakeLiteral(rest, "-") && TakeMonth(rest, month) &&
        TakeLiteral(rest, "-") && TakeNumber(rest, 2, year) && TakeLiteral(rest, " ") &&
        TakeTime(rest, hour, minute, second) && rest == " GMT")
      return ToUnix(year < 70 ? 2000 + year : 1900 + year, month, day, hour, minute, second);
    return std::nullopt;
  }
  // "Sun Nov  6 08:49:37 1994"
  if (text.size() < 4 || text[3] != ' ') return std::nullopt;
  std::string_view rest = text.substr(4);
  if (!TakeMonth(rest, month) || !TakeLiteral(rest, " ")) return std::nullopt;
  if (TakeLiteral(rest, " ")) {
    if (!TakeNumber(rest, 1, day)) return std::nullopt;
  } else if (!TakeNumber(rest, 2, day)) {
    return std::nullopt;
  }
  if (TakeLiteral(rest, " ") && TakeTime(rest, hour, minute, second) && TakeLiteral(rest, " ") &&
      TakeNumber(rest, 4, year) && rest.empty())
    return ToUnix(year, month, day, hour, minute, second);
  return std::nullopt;
}

std::optional<uint32_t> RetryAfterSeconds(std::string_view value, int64_t nowUnix) {
  value = Trim(value);
  if (value.empty()) return std::nullopt;
  if (value.front() >= '0' && value.front() <= '9') {
    uint64_t seconds = 0;
    for (char c : value) {
      if (c < '0' || c > '9') return std::nullopt;
      if (seconds <= kMaxRetryAfterSeconds) seconds = seconds * 10 + static_cast<uint64_t>(c - '0');
    }
    return static_cast<uint32_t>(seconds < kMaxRetryAfterSeconds ? seconds : kMaxRetryAfterSeconds);
  }
  const std::optional<int64_t> when = ParseHttpDate(value);
  if (!when) return std::nullopt;
  if (*when <= nowUnix) return 0u;
  const int64_t wait = *when - nowUnix;
  return static_cast<uint32_t>(wait < kMaxRetryAfterSeconds ? wait : kMaxRetryAfterSeconds);
}

std::string ContentTypeCharset(std::string_view contentType) {
  size_t at = contentType.find(';');
  while (at != std::string_view::npos) {
    std::string_view parameter = contentType.substr(at + 1);
    const size_t next = parameter.find(';');
    parameter = Trim(parameter.substr(0, next));
    const size_t equals = parameter.find('=');
    if (equals != std::string_view::npos && EqualsIgnoringCase(Trim(parameter.substr(0, equals)), "charset")) {
      std::string_view value = Trim(parameter.substr(equals + 1));
      if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
      return std::string(Trim(value));
    }
    at = next == std::string_view::npos ? next : at + 1 + next;
  }
  return {};
}
