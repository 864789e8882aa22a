#pragma once
// Links from feeds, the ticker, popups and the update answer are opened only when they
// are web addresses: a feed must not be able to launch a program or open a local file.
#include <string>
#include <string_view>

// True for an absolute http:// or https:// address (scheme in any letter case).
bool IsWebLink(std::wstring_view link);

// Opens a web link with the system's default handler ("open"); anything else is traced
// and ignored. True when the shell was asked.
bool OpenLinkInShell(const std::wstring& link);
