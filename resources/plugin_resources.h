// The resources the plug-in carries: dialog templates, the string table and
// the pictures embedded at build time.
#pragma once

#include <windows.h>

inline constexpr int kMainDialogTemplate = 1000;
inline constexpr int kSampleImageBitmap = 7150;

// Registers every resource under the module that holds the plug-in's code,
// once; later calls do nothing.
void RegisterPluginResources();

// The error texts of the string table, ids 0 to 15.
inline constexpr const char* kErrorTexts[16] = {
    "Ok",
    "Error opening file",
    "Corrupted file",
    "Error reading file",
    "Function cancelled",
    "Unsupported function",
    "Memory error",
    "Information error",
    "Unsupported format",
    "Error renaming file",
    "Error creating file",
    "Error writing file",
    "Too many colours",
    "Unsuitable image",
    "Resource error",
    "Library error",
};
