#include "config/Settings.h"

#include "config/ConfigStore.h"

namespace setting {
namespace {

const std::wstring& Section(Scope scope) { return scope == Scope::Window ? section::kWindow : section::kConfig; }

}  // namespace

int Get(const IntValue& value) { return Config().GetInt(Section(value.scope), value.name, value.def); }

int GetOr(const IntValue& value, int computedDefault) {
  return Config().GetInt(Section(value.scope), value.name, computedDefault);
}

std::wstring Get(const TextValue& value) { return Config().GetString(Section(value.scope), value.name, value.def); }

void Set(const IntValue& value, int number) { Config().SetInt(Section(value.scope), value.name, number); }

void Set(const TextValue& value, const std::wstring& text) {
  Config().SetString(Section(value.scope), value.name, text);
}

int Get(const IntValue& value, const std::wstring& channelId) {
  return Config().GetInt(section::Channel(channelId), value.name, value.def);
}

std::wstring Get(const TextValue& value, const std::wstring& channelId) {
  return Config().GetString(section::Channel(channelId), value.name, value.def);
}

void Set(const IntValue& value, const std::wstring& channelId, int number) {
  Config().SetInt(section::Channel(channelId), value.name, number);
}

void Set(const TextValue& value, const std::wstring& channelId, const std::wstring& text) {
  Config().SetString(section::Channel(channelId), value.name, text);
}

}  // namespace setting
