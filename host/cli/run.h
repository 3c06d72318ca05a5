// Build, preview and screenshot: one run of the plug-in's dialog, worked
// through the steps the command line asks for.
#pragma once

#include "host/cli/options.h"

// Runs the plug-in and returns the exit status: 0 when the file was
// written, 1 when anything failed (the reasons are on standard error).
int RunDialogCommand(const CliOptions& options);

// Where the user guide lies: beside the plug-in.
std::string HelpDocumentPath();
