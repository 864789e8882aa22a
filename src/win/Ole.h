#pragma once
// OLE on the window's thread, started when something first needs it (the web-browser
// control) rather than at start: a session that never opens a link does not pay for it.

namespace win {

// Starts OLE on the calling thread (a single-threaded apartment) unless this already did;
// true when OLE is usable on the thread.
bool EnsureOle();
// Ends OLE on the calling thread if EnsureOle started it there; nothing otherwise.
void EndOle();

}  // namespace win
