#pragma once
// The program's only diagnostic output: printf-style text written to the debugger.
// Portable declaration (no Windows header), so the document core can trace too.

// Formats like swprintf and writes the text with OutputDebugStringW. Wide strings are
// passed with %ls (the same in the Microsoft and the C-standard runtimes).
void DebugTrace(const wchar_t* format, ...);

// True when a trace can reach anyone (a debugger is attached or a sink is installed).
// Hot loops ask this first so that tracing costs nothing when nobody listens.
bool DebugTraceActive();

// Receives every formatted trace line in addition to the debugger; tests install one.
// The sink may be called from any thread.
using DebugTraceSink = void (*)(const wchar_t* text, void* context);
void SetDebugTraceSink(DebugTraceSink sink, void* context);
