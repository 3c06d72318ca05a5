/* The Win32 subset Lumafex is written against, as Windows' own headers
 * present it without UNICODE: ANSI entry points under their plain names,
 * C linkage, usable from C and C++. */
#ifndef LUMA_WINDOWS_H
#define LUMA_WINDOWS_H

#include "win/base.h"
#include "win/kernel.h"
#include "win/gdi.h"
#include "win/resource.h"
#include "win/user.h"
#include "win/userdraw.h"

#endif
