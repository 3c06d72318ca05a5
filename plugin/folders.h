// Paths of the plug-in's folders. Each function returns its own static
// buffer, overwritten by its next call; an empty string when the special
// folder cannot be found. None of them creates a folder.
#pragma once

// Per-user application data + "Vellumark/" + name: the configuration file.
const char* MakerFolder(const char* name);
// Per-user application data + "Vellumark/Lumafex/" + name: the plug-in's own files.
const char* DataFolder(const char* name);
// The user's documents folder + "/" + name.
const char* DocumentsFolder(const char* name);
