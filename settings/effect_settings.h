// Declarations of the effect settings, one variable per entry of the
// effect parameter list (the unstored delays included).
#pragma once

#include <windows.h>

#define PAGE(n)
#define END_PAGE()
#define SPIN(var, builtIn, ...) extern DWORD var;
#define DELAY(var, builtIn, ...) extern DWORD var;
#define UNSTORED_DELAY(var, builtIn, ...) extern DWORD var;
#define SIGNED(var, builtIn, ...) extern char var[261];
#define COLOUR(var, builtIn, ...) extern DWORD var;
#define CHECK(var, builtIn, ...) extern DWORD var;
#define COMBO(var, builtIn, ...) extern DWORD var;
#define PAD(var, builtIn, ...) extern DWORD var;
#define HIDDEN(var, builtIn) extern DWORD var;
#define LABEL(...)
#include "settings/effect_params.def"
#include "settings/effect_params_undef.h"
