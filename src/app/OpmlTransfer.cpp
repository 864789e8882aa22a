#include "app/OpmlTransfer.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <ctime>
#include <unordered_map>
#include <unordered_set>

#include "app/ChannelSettings.h"
#include "common/TextConv.h"
#include "doc/Opml.h"
#include "net/FeedEncoding.h"
#include "net/FeedFetcher.h"
#include "win/FileDialog.h"
#include "win/Module.h"

const wchar_t kOpmlFileFilter[] = L"OPML 파일 (*.opml; *.xml)\0*.opml;*.xml\0모든 파일 (*.*)\0*.*\0";

namespace {

std::wstring Format(const wchar_t* format, size_t a, size_t b = 0, size_t c = 0) {
  wchar_t buffer[512];
  std::swprintf(buffer, 512, format, static_cast<unsigned long long>(a), static_cast<unsigned long long>(b),
                static_cast<unsigned long long>(c));
  return buffer;
}

std::wstring ImportFailure(const wchar_t* reason) {
  return std::wstring(L"OPML 파일을 가져오지 못했습니다.\n") + reason + L"\n채널 목록은 바뀌지 않았습니다.";
}

const wchar_t* Reason(OpmlStatus status) {
  switch (status) {
    case OpmlStatus::TooLarge: return L"파일이 너무 큽니다. (16 MB까지 읽습니다)";
    case OpmlStatus::Encoding: return L"파일의 문자 인코딩을 읽을 수 없습니다.";
    case OpmlStatus::Malformed: return L"XML 형식이 올바르지 않습니다.";
    case OpmlStatus::NotOpml: return L"OPML 파일이 아닙니다.";
    case OpmlStatus::TooManyOutlines: return L"항목이 너무 많습니다. (10000개까지 읽습니다)";
    case OpmlStatus::TooDeep: return L"폴더가 너무 깊게 겹쳐 있습니다.";
    case OpmlStatus::Ok: break;
  }
  return L"";
}

// RFC 822, as OPML's dateCreated asks: "Wed, 09 Dec 2026 15:22:35 GMT".
std::wstring Rfc822Now() {
  static const wchar_t* const kDays[] = {L"Sun", L"Mon", L"Tue", L"Wed", L"Thu", L"Fri", L"Sat"};
  static const wchar_t* const kMonths[] = {L"Jan", L"Feb", L"Mar", L"Apr", L"May", L"Jun",
                                           L"Jul", L"Aug", L"Sep", L"Oct", L"Nov", L"Dec"};
  SYSTEMTIME now;
  ::GetSystemTime(&now);
  wchar_t buffer[64];
  std::swprintf(buffer, 64, L"%ls, %02u %ls %04u %02u:%02u:%02u GMT", kDays[now.wDayOfWeek % 7], now.wDay,
                kMonths[(now.wMonth + 11) % 12], now.wYear, now.wHour, now.wMinute, now.wSecond);
  return buffer;
}

}  // namespace

OpmlOutcome ImportOpmlFile(const std::wstring& path, const std::function<bool(const std::wstring& url)>& shown,
                           const std::function<void(const std::wstring& url, const std::wstring& id)>& added) {
  OpmlOutcome outcome;
  std::string bytes;
  switch (win::ReadWholeFile(path, kOpmlMaxBytes, bytes)) {
    case win::FileResult::Ok: break;
    case win::FileResult::TooLarge: outcome.message = ImportFailure(Reason(OpmlStatus::TooLarge)); return outcome;
    default: outcome.message = ImportFailure(L"파일을 열 수 없습니다."); return outcome;
  }
  // Read as feeds are: byte-order mark, declared encoding, else UTF-8 or CP949.
  if (DetectFeedEncoding(bytes).kind == FeedDecoding::Kind::Unknown) {
    outcome.message = ImportFailure(Reason(OpmlStatus::Encoding));
    return outcome;
  }
  OpmlList list;
  if (OpmlStatus status = ReadOpml(FeedText(bytes), list); status != OpmlStatus::Ok) {
    outcome.message = ImportFailure(Reason(status));
    return outcome;
  }
  std::unordered_set<std::wstring> known = StoredAddresses();
  for (const std::wstring& url : list.addresses) {
    if (known.count(url) || (shown && shown(url))) {
      ++outcome.existing;
      continue;
    }
    const std::wstring id = StoreNewChannel(url);
    known.insert(url);
    ++outcome.added;
    if (added) added(url, id);
  }
  outcome.unusable = list.unusable;
  outcome.ok = true;
  outcome.message = Format(L"OPML 파일을 가져왔습니다.\n추가한 채널: %llu개\n이미 등록된 채널: %llu개\n주소가 없는 항목: %llu개",
                           outcome.added, outcome.existing, outcome.unusable);
  return outcome;
}

OpmlOutcome ExportOpmlFile(const std::wstring& path, const std::vector<std::pair<std::wstring, std::wstring>>& titles) {
  std::vector<StoredChannel> stored = StoredChannels();
  std::unordered_map<std::wstring, size_t> rank;
  for (size_t i = 0; i < titles.size(); ++i) rank.emplace(titles[i].first, i);
  std::vector<OpmlChannel> channels(titles.size());
  std::vector<bool> present(titles.size(), false);
  std::vector<OpmlChannel> rest;
  for (StoredChannel& channel : stored) {
    if (channel.url.empty()) continue;  // nothing to subscribe to
    auto it = rank.find(channel.id);
    if (it == rank.end()) {
      rest.push_back({channel.url, std::move(channel.url)});
    } else {
      const std::wstring& title = titles[it->second].second;
      channels[it->second] = {title.empty() ? channel.url : title, std::move(channel.url)};
      present[it->second] = true;
    }
  }
  std::vector<OpmlChannel> ordered;
  for (size_t i = 0; i < channels.size(); ++i)
    if (present[i]) ordered.push_back(std::move(channels[i]));
  for (OpmlChannel& channel : rest) ordered.push_back(std::move(channel));

  OpmlOutcome outcome;
  const std::string bytes = ToMultiByte(WriteOpml(ordered, L"pellora 채널 목록", Rfc822Now()), CP_UTF8);
  if (win::WriteWholeFile(path, bytes) != win::FileResult::Ok) {
    outcome.message = L"OPML 파일을 쓸 수 없습니다.\n" + path;
    return outcome;
  }
  outcome.ok = true;
  outcome.added = ordered.size();
  outcome.message = Format(L"채널 %llu개를 OPML 파일로 내보냈습니다.", ordered.size());
  return outcome;
}

int RunOpmlCommandLine(const wchar_t* commandLine) {
  int count = 0;
  LPWSTR* raw = ::CommandLineToArgvW(commandLine, &count);
  if (!raw) return -1;
  std::vector<std::wstring> args(raw, raw + count);
  ::LocalFree(raw);
  if (args.size() < 2) return -1;
  const bool import = ::lstrcmpiW(args[1].c_str(), L"/import") == 0;
  const bool exportList = ::lstrcmpiW(args[1].c_str(), L"/export") == 0;
  if (!import && !exportList) return -1;
  if (args.size() != 3 || args[2].empty()) {
    win::WriteStdLine(STD_ERROR_HANDLE, L"사용법: pellora.exe /import 파일 | pellora.exe /export 파일");
    return 1;
  }
  std::srand(static_cast<unsigned>(std::time(nullptr)) ^ ::GetCurrentProcessId());
  const OpmlOutcome outcome = import ? ImportOpmlFile(args[2], nullptr, nullptr) : ExportOpmlFile(args[2], {});
  win::WriteStdLine(outcome.ok ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE, outcome.message);
  return outcome.ok ? 0 : 1;
}
