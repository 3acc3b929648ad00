#pragma once

// The two Windows shell services the plug-in uses, with the platform's names
// and calling conventions: the long form of a path, and opening a file with
// the application the desktop associates with it.
//
// On Linux the long form is the canonical absolute path (links resolved),
// and "open" hands the file to xdg-open when a display is available
// (DISPLAY or WAYLAND_DISPLAY); without one the file is not opened and the
// host reports its path instead (see the host's desktop observer).

#include "ELMHostExport.h"

#include <cstdint>

using DWORD = std::uint32_t;
using INT = int;
using LPCSTR = const char*;
using LPSTR = char*;
using HWND = void*;
using HINSTANCE = void*;

/// ShellExecuteA results up to 32 are errors.
constexpr std::intptr_t SE_ERR_FNF = 2;
constexpr std::intptr_t SE_ERR_NOASSOC = 31;
constexpr INT SW_SHOWNORMAL = 1;

/// Writes the long form of shortPath into longPath (size bytes) and gives its
/// length; when it does not fit, gives the size needed (terminating zero
/// included) and writes nothing; 0 when the path does not exist.
ExportedByELMHost DWORD GetLongPathNameA(LPCSTR shortPath, LPSTR longPath, DWORD size);

/// Performs verb ("open", or null for the default, which is "open") on file.
/// Gives a value above 32 when the desktop took the file; SE_ERR_FNF when it
/// does not exist, SE_ERR_NOASSOC when there is no desktop to open it with.
/// parameters, directory and show are kept for the platform's signature.
ExportedByELMHost HINSTANCE ShellExecuteA(HWND window, LPCSTR verb, LPCSTR file, LPCSTR parameters,
                                          LPCSTR directory, INT show);
