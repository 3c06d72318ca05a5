// Running the lumafex program as a user would, in a folder of its own with
// its own configuration, and reading back what it leaves.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "tests/host/host_test_support.h"

namespace cli_testing {

struct Outcome {
    int status = -1;  // exit status; -1 when the program did not exit by itself
    std::string out;  // standard output
    std::string err;  // standard error
};

// A user's world: a home folder, a configuration folder and a work folder,
// all new and removed afterwards.
class Session {
public:
    Session();

    // Runs lumafex with the arguments in the work folder, with HOME set to
    // the home folder; --config-dir is added for the commands that open the
    // dialog unless withConfig is false.
    Outcome Run(std::vector<std::string> arguments, bool withConfig = true) const;
    // The same with standard error on a terminal of its own (standard
    // output still goes to a file).
    Outcome RunOnTerminal(std::vector<std::string> arguments) const;

    std::string Work(const std::string& name) const { return work_ / name; }
    std::string Home(const std::string& name) const { return home_ / name; }
    const std::string& ConfigDir() const { return config_.Path(); }
    // The keys of the configuration file the dialog wrote when it closed.
    std::map<std::string, std::string> Configuration() const;

private:
    Outcome Start(std::vector<std::string> arguments, bool withConfig, bool terminal) const;

    host_testing::TemporaryFolder home_;
    host_testing::TemporaryFolder config_;
    host_testing::TemporaryFolder work_;
};

// The program's path and the folder beside the plug-in.
std::string ProgramPath();
std::string PluginFolder();

// Lines of a text.
std::vector<std::string> Lines(const std::string& text);

// A GIF file read back with giflib.
struct GifFacts {
    bool read = false;
    int width = 0, height = 0;
    int frames = 0;
    std::vector<int> delays;  // hundredths
    bool loops = false;       // NETSCAPE2.0 extension with 0 repeats
    std::string comment;
    int transparentFrames = 0;  // frames whose control block names a transparent index
};
GifFacts ReadGif(const std::string& path);

// An animated PNG or WebP read back with libpng or libwebp: frame count,
// delays in milliseconds and canvas size.
struct AnimationFacts {
    bool read = false;
    int width = 0, height = 0;
    int frames = 0;
    std::vector<int> delays;
};
AnimationFacts ReadApng(const std::string& path);
AnimationFacts ReadWebP(const std::string& path);

// An animation played as a viewer shows it: every frame laid on the canvas
// by its place, transparency, blending and disposal, and the whole canvas
// taken after each. Pixels are red, green, blue, alpha bytes, rows from the
// top; a fully transparent pixel is all zero whatever its colour was.
struct Playback {
    bool read = false;
    std::string error;
    int width = 0, height = 0;
    std::vector<std::vector<BYTE>> canvases;
    std::vector<int> delays;  // milliseconds
};
Playback PlayGif(const std::string& path);
Playback PlayApng(const std::string& path);
Playback PlayWebP(const std::string& path);

}  // namespace cli_testing
