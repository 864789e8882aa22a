#pragma once
// OPML import and export on the stored channel list, shared by the 파일 menu's two
// commands and the command line (`pellora.exe /import FILE`, `/export FILE`).
#include <functional>
#include <string>
#include <utility>
#include <vector>

struct OpmlOutcome {
  bool ok = false;
  size_t added = 0;     // import: channels added; export: channels written
  size_t existing = 0;  // import: addresses already registered (or twice in the file)
  size_t unusable = 0;  // import: outlines without a usable address
  std::wstring message;  // for the user, in Korean
};

// Adds every address of the file that is not registered yet, in file order, as the add
// command does. `shown` tells whether the caller already shows an address (the frame's
// tree) besides the stored sections; `added` hears of each new channel. A file that cannot
// be read as a channel list changes nothing.
OpmlOutcome ImportOpmlFile(const std::wstring& path, const std::function<bool(const std::wstring& url)>& shown,
                           const std::function<void(const std::wstring& url, const std::wstring& id)>& added);

// Writes every stored channel. `titles` lists (id, title) of the channels shown, in the
// tree's order: those come first, under their titles; the others follow in storage order
// under their addresses.
OpmlOutcome ExportOpmlFile(const std::wstring& path, const std::vector<std::pair<std::wstring, std::wstring>>& titles);

// The command line's two commands. -1 when the command line holds neither (the program
// starts as usual); otherwise the process's exit code, 0 on success and 1 on failure.
int RunOpmlCommandLine(const wchar_t* commandLine);

// The filter of the open and save dialogs.
extern const wchar_t kOpmlFileFilter[];
