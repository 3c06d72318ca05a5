// The plug-in as a host loads it: dlopen and its two entry points by name.
#pragma once

#include <string>

#include "plugin/host_interface.h"

inline constexpr const char* kPluginFileName = "lumaplug_x64.so";

// Where the plug-in is looked for: the path in LUMAFEX_PLUGIN when it is set
// and not empty, else lumaplug_x64.so beside the running program.
std::string DefaultPluginPath();

class PluginLibrary {
public:
    // Loads the file and resolves both entry points; throws HostError naming
    // the file and what went wrong.
    explicit PluginLibrary(const std::string& path);
    ~PluginLibrary();
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;

    const std::string& Path() const { return path_; }
    // The folder holding the plug-in, without a trailing slash.
    std::string Folder() const;

    GetPluginParamsFunction GetPluginParams() const { return getPluginParams_; }
    DoBuildFunction DoBuild() const { return doBuild_; }

private:
    std::string path_;
    void* handle_ = nullptr;
    GetPluginParamsFunction getPluginParams_ = nullptr;
    DoBuildFunction doBuild_ = nullptr;
};
