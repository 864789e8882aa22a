#pragma once
// The system's URL cache, which tells whether a link has been visited.
#include <string>

// Whether the system's URL cache holds an entry for the address. Each question costs
// about half a millisecond under Wine: many of them belong off the window's thread.
bool IsInUrlCache(const std::wstring& url);
