#pragma once
// The channel list as stored: one "CONFIG\<id>" section per channel with its "URL".
// Shared by the add command, OPML import and export, and the command line.
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

struct StoredChannel {
  std::wstring id;
  std::wstring url;
};

// Every channel section in storage order (the order the fetch thread visits them).
std::vector<StoredChannel> StoredChannels();
// The addresses of StoredChannels(), for repeated look-ups.
std::unordered_set<std::wstring> StoredAddresses();
// Writes a new channel section with a free random id and returns the id.
std::wstring StoreNewChannel(const std::wstring& url);
