#include "host/core/plugin_library.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "host/core/host_error.h"

namespace {

std::string FolderOfPath(const std::string& path) {
    std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string RunningProgram() {
    std::vector<char> buffer(4096);
    for (;;) {
        ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0) return {};
        if (static_cast<std::size_t>(n) < buffer.size()) return std::string(buffer.data(), static_cast<std::size_t>(n));
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace

std::string DefaultPluginPath() {
    const char* chosen = std::getenv("LUMAFEX_PLUGIN");
    if (chosen && *chosen) return chosen;
    std::string program = RunningProgram();
    return (program.empty() ? std::string(".") : FolderOfPath(program)) + "/" + kPluginFileName;
}

PluginLibrary::PluginLibrary(const std::string& path) : path_(path) {
    // dlopen takes a name without a slash for a library on the search path;
    // a plug-in is always a file.
    std::string file = path.find('/') == std::string::npos ? "./" + path : path;
    handle_ = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
        const char* why = dlerror();
        throw HostError("Cannot load the plug-in " + path + ": " + (why ? why : "unknown error") + ".");
    }
    getPluginParams_ = reinterpret_cast<GetPluginParamsFunction>(dlsym(handle_, "PLUGIN16GetPluginParams"));
    doBuild_ = reinterpret_cast<DoBuildFunction>(dlsym(handle_, "PLUGIN16DoBuild"));
    if (!getPluginParams_ || !doBuild_) {
        dlclose(handle_);
        throw HostError("Cannot use the plug-in " + path + ": it does not export PLUGIN16GetPluginParams and "
                        "PLUGIN16DoBuild.");
    }
}

PluginLibrary::~PluginLibrary() { dlclose(handle_); }

std::string PluginLibrary::Folder() const { return FolderOfPath(path_); }
