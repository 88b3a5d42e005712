// The one platform header of app/, grid/, show/ and audio/: the real Windows
// headers on Windows, our Win32-faithful layer everywhere else. The program
// never tests which of the two it got.
#pragma once
#include "base/kernel32.h"
#ifdef _WIN32
// mmsystem.h needs windows.h first, which base/kernel32.h brings.
#include <mmsystem.h>
#else
#include "platform/core/win32_api.h"
#endif
