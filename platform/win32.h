// The one platform header of app/, grid/, show/ and audio/: the real Windows
// headers on Windows, our Win32-faithful layer everywhere else. The program
// never tests which of the two it got.
#pragma once
#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
// mmsystem.h needs windows.h first.
// clang-format off
#include <windows.h>
#include <mmsystem.h>
// clang-format on
#else
#include "platform/core/win32_api.h"
#endif
