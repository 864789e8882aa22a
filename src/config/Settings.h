#pragma once
// Every value the program keeps in the settings store, named once: its section, name, type
// and default. Every read and write goes through this table.
#include <string>

namespace setting {

// Which section holds a value: "WINDOW", "CONFIG", or a channel's "CONFIG\<id>".
enum class Scope { Window, Config, Channel };

struct IntValue {
  Scope scope;
  const wchar_t* name;
  int def;
};

struct TextValue {
  Scope scope;
  const wchar_t* name;
  const wchar_t* def;
};

// "WINDOW": the windows' places (physical pixels) and the main window's top-most state.
// The places and sizes have no fixed default (it depends on the screen and its DPI): the
// windows read them with GetOr.
inline constexpr IntValue kMainTopmost{Scope::Window, L"MAIN_TOPMOST", 0};
inline constexpr IntValue kMainX{Scope::Window, L"MAIN_X", 0};
inline constexpr IntValue kMainY{Scope::Window, L"MAIN_Y", 0};
inline constexpr IntValue kMainCx{Scope::Window, L"MAIN_CX", 0};
inline constexpr IntValue kMainCy{Scope::Window, L"MAIN_CY", 0};
inline constexpr IntValue kTickerX{Scope::Window, L"TICKER_X", 0};
inline constexpr IntValue kTickerY{Scope::Window, L"TICKER_Y", 0};
inline constexpr IntValue kTickerCx{Scope::Window, L"TICKER_CX", 0};
inline constexpr IntValue kViewX{Scope::Window, L"VIEW_X", 100};
inline constexpr IntValue kViewY{Scope::Window, L"VIEW_Y", 100};
inline constexpr IntValue kViewCx{Scope::Window, L"VIEW_CX", 0};
inline constexpr IntValue kViewCy{Scope::Window, L"VIEW_CY", 0};

// "CONFIG": program-wide options.
inline constexpr IntValue kRssTicker{Scope::Config, L"RSS_TICKER", 1};
inline constexpr IntValue kInternal{Scope::Config, L"INTERNAL", 0};
inline constexpr IntValue kRssTimer{Scope::Config, L"RSS_TIMER", 30};
inline constexpr IntValue kTickerCnt{Scope::Config, L"TICKER_CNT", 100};
inline constexpr IntValue kTickerAlpha{Scope::Config, L"TICKER_ALPHA", 60};
inline constexpr TextValue kTickerFont{Scope::Config, L"TICKER_FONT", L"Tahoma"};
inline constexpr TextValue kUpdateServer{Scope::Config, L"UPDATE_SERVER", L""};

// "CONFIG\<id>": one channel's address and options.
inline constexpr TextValue kUrl{Scope::Channel, L"URL", L""};
inline constexpr IntValue kTicker{Scope::Channel, L"TICKER", 1};
inline constexpr IntValue kNoti{Scope::Channel, L"NOTI", 0};
inline constexpr TextValue kKeyword{Scope::Channel, L"KEYWORD", L""};
inline constexpr IntValue kExpand{Scope::Channel, L"EXPAND", 1};

// Program-wide values ("WINDOW", "CONFIG").
int Get(const IntValue& value);
// With a default that the caller computes (a window's place from the screen).
int GetOr(const IntValue& value, int computedDefault);
std::wstring Get(const TextValue& value);
void Set(const IntValue& value, int number);
void Set(const TextValue& value, const std::wstring& text);

// A channel's values, by the channel's settings id.
int Get(const IntValue& value, const std::wstring& channelId);
std::wstring Get(const TextValue& value, const std::wstring& channelId);
void Set(const IntValue& value, const std::wstring& channelId, int number);
void Set(const TextValue& value, const std::wstring& channelId, const std::wstring& text);

}  // namespace setting
