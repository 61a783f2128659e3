#pragma once
// The Windows API as every Win32 source here includes it: the lean headers,
// without the min and max macros that would break the standard library's.

#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
