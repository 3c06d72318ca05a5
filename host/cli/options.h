// The command line of lumafex: what to do and every setting given for it.
#pragma once

#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "host/core/host.h"

enum class Command { Build, Preview, Screenshot, Effects, Help, Version };

enum class Verbosity { Quiet, Normal, Verbose };

// A wrong command line; the text says what is wrong and goes to the user.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One --set: a control named by its label and the value to give it.
struct LabelledValue {
    std::string label;
    std::string value;
};

struct CliOptions {
    Command command = Command::Build;
    std::string effect;            // -e, as the user wrote it
    std::string image;             // -i, absolute
    std::string settingsDocument;  // -s, absolute
    std::vector<LabelledValue> values;
    std::string output;  // -o, absolute; the command's default when not given
    bool outputGiven = false;
    bool test = false;
    HostPersonality personality = HostPersonality::Gif;

    // The output options; unset ones stay as the dialog has them.
    std::optional<std::string> palette;
    std::optional<bool> customPalette;
    std::optional<bool> dither;
    std::optional<bool> trueColour;
    std::optional<bool> supercompress;
    std::optional<bool> maskBackground;
    std::optional<bool> comment;

    std::string saveSettings;  // absolute
    bool shift = false;
    std::string configDir;  // absolute
    Verbosity verbosity = Verbosity::Normal;
    unsigned minimumDelay = 0;  // hundredths; 0 keeps the delays
    std::optional<std::size_t> memoryBudget;  // bytes; 0 is no limit
};

// Parses the arguments after the program name. Relative paths are made
// absolute against the current folder, since the dialog's file dialogs may
// change it. Throws UsageError.
CliOptions ParseCommandLine(const std::vector<std::string>& arguments);

// The text of --help.
std::string UsageText();
