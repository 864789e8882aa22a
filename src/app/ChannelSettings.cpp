#include "app/ChannelSettings.h"

#include <cstdio>
#include <cstdlib>

#include "config/ConfigStore.h"
#include "config/Settings.h"

std::vector<StoredChannel> StoredChannels() {
  std::vector<std::wstring> ids;
  Config().EnumSubsections(section::kConfig, ids);
  std::vector<StoredChannel> channels;
  channels.reserve(ids.size());
  for (std::wstring& id : ids) {
    std::wstring url = setting::Get(setting::kUrl, id);
    channels.push_back({std::move(id), std::move(url)});
  }
  return channels;
}

std::unordered_set<std::wstring> StoredAddresses() {
  std::unordered_set<std::wstring> addresses;
  for (StoredChannel& channel : StoredChannels()) addresses.insert(std::move(channel.url));
  return addresses;
}

std::wstring StoreNewChannel(const std::wstring& url) {
  std::wstring id;
  do {
    wchar_t buffer[16];
    const int high = std::rand();
    const int low = std::rand();
    std::swprintf(buffer, 16, L"%04x%04x", high, low);
    id = buffer;
  } while (!setting::Get(setting::kUrl, id).empty());
  setting::Set(setting::kUrl, id, url);
  return id;
}
