// The one platform include of the program: the real headers on Windows, the
// project's own X11 implementation of the same subset elsewhere.
#pragma once

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include "x11/win32.h"
#endif

#include <GL/gl.h>
#include <GL/glu.h>
