#include "host/cli/options.h"

#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <algorithm>
#include <cctype>
#include <functional>
#include <map>

#include "luma/memory.h"

namespace {

std::string Absolute(const std::string& path, const std::string& option) {
    if (path.empty()) throw UsageError(option + " needs a file name.");
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(path, error);
    if (error) throw UsageError(option + " " + path + ": " + error.message() + ".");
    return absolute.lexically_normal().string();
}

unsigned MinimumDelay(const std::string& text) {
    char* end = nullptr;
    errno = 0;
    long value = std::strtol(text.c_str(), &end, 10);
    // A GIF delay has 16 bits.
    if (text.empty() || *end || errno || value < 1 || value > 65535)
        throw UsageError("--min-delay takes a number of hundredths from 1 to 65535, not \"" + text + "\".");
    return static_cast<unsigned>(value);
}

std::size_t MemoryBudget(const std::string& text) {
    std::size_t bytes = 0;
    if (!luma::ParseByteSize(text.c_str(), &bytes))
        throw UsageError("--memory-budget takes a size such as 512M or 2G, not \"" + text + "\".");
    return bytes;
}

HostPersonality Personality(const std::string& text) {
    if (text == "gif") return HostPersonality::Gif;
    if (text == "truecolor" || text == "truecolour") return HostPersonality::TrueColour;
    throw UsageError("--host is gif or truecolor, not \"" + text + "\".");
}

LabelledValue Assignment(const std::string& text) {
    std::size_t equals = text.find('=');
    if (equals == std::string::npos || equals == 0)
        throw UsageError("--set takes LABEL=VALUE, as in --set Density=20; \"" + text + "\" has no label and value.");
    return {text.substr(0, equals), text.substr(equals + 1)};
}

bool EndsWith(const std::string& text, const std::string& end) {
    if (text.size() < end.size()) return false;
    for (std::size_t i = 0; i < end.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[text.size() - end.size() + i])) != end[i]) return false;
    return true;
}

// What an option does with its value (or with nothing, for flags).
struct OptionRule {
    bool takesValue;
    std::function<void(CliOptions&, const std::string&)> apply;
    // Commands the option belongs to; empty: build, preview and screenshot.
    std::vector<Command> commands;
};

void Once(bool& seen, const std::string& name) {
    if (seen) throw UsageError(name + " is given twice.");
    seen = true;
}

std::map<std::string, OptionRule> OptionRules() {
    std::map<std::string, OptionRule> rules;
    auto valued = [&](std::initializer_list<const char*> names, auto apply, std::vector<Command> commands = {}) {
        for (const char* name : names) rules[name] = OptionRule{true, apply, commands};
    };
    auto flag = [&](std::initializer_list<const char*> names, auto apply, std::vector<Command> commands = {}) {
        for (const char* name : names) rules[name] = OptionRule{false, apply, commands};
    };
    const std::vector<Command> everyDialogCommand = {Command::Build, Command::Preview, Command::Screenshot};
    const std::vector<Command> withEffects = {Command::Build, Command::Preview, Command::Screenshot, Command::Effects};

    valued({"-e", "--effect"}, [](CliOptions& o, const std::string& v) {
        if (v.empty()) throw UsageError("--effect needs the name of an effect.");
        o.effect = v;
    }, withEffects);
    valued({"-i", "--image"}, [](CliOptions& o, const std::string& v) { o.image = Absolute(v, "--image"); });
    valued({"-s", "--settings"},
           [](CliOptions& o, const std::string& v) { o.settingsDocument = Absolute(v, "--settings"); });
    valued({"--set"}, [](CliOptions& o, const std::string& v) { o.values.push_back(Assignment(v)); });
    valued({"-o", "--output"}, [](CliOptions& o, const std::string& v) {
        o.output = Absolute(v, "--output");
        o.outputGiven = true;
    });
    flag({"--test"}, [](CliOptions& o, const std::string&) { o.test = true; }, {Command::Build});
    valued({"--host"}, [](CliOptions& o, const std::string& v) { o.personality = Personality(v); }, withEffects);
    valued({"--min-delay"}, [](CliOptions& o, const std::string& v) { o.minimumDelay = MinimumDelay(v); },
           {Command::Build});
    valued({"--memory-budget"}, [](CliOptions& o, const std::string& v) { o.memoryBudget = MemoryBudget(v); },
           {Command::Build, Command::Preview});
    valued({"--palette"}, [](CliOptions& o, const std::string& v) {
        if (v.empty()) throw UsageError("--palette needs the name of a palette.");
        o.palette = v;
    });
    struct Toggle {
        const char* name;
        std::optional<bool> CliOptions::*field;
    };
    for (Toggle toggle : {Toggle{"custom-palette", &CliOptions::customPalette}, Toggle{"dither", &CliOptions::dither},
                          Toggle{"truecolor", &CliOptions::trueColour},
                          Toggle{"supercompress", &CliOptions::supercompress},
                          Toggle{"mask-background", &CliOptions::maskBackground},
                          Toggle{"comment", &CliOptions::comment}}) {
        auto field = toggle.field;
        flag({("--" + std::string(toggle.name)).c_str()}, [field](CliOptions& o, const std::string&) { o.*field = true; });
        flag({("--no-" + std::string(toggle.name)).c_str()},
             [field](CliOptions& o, const std::string&) { o.*field = false; });
    }
    valued({"--save-settings"}, [](CliOptions& o, const std::string& v) {
        o.saveSettings = Absolute(v, "--save-settings");
        // The file dialog would add its default extension to a bare name.
        if (std::filesystem::path(o.saveSettings).extension().empty()) o.saveSettings += ".lfx";
    });
    flag({"--shift"}, [](CliOptions& o, const std::string&) { o.shift = true; });
    valued({"--config-dir"}, [](CliOptions& o, const std::string& v) { o.configDir = Absolute(v, "--config-dir"); },
           everyDialogCommand);
    flag({"-q", "--quiet"}, [](CliOptions& o, const std::string&) { o.verbosity = Verbosity::Quiet; }, withEffects);
    flag({"-v", "--verbose"}, [](CliOptions& o, const std::string&) { o.verbosity = Verbosity::Verbose; }, withEffects);
    return rules;
}

const char* CommandName(Command command) {
    switch (command) {
    case Command::Build: return "a build";
    case Command::Preview: return "preview";
    case Command::Screenshot: return "screenshot";
    case Command::Effects: return "effects";
    case Command::Help: return "--help";
    case Command::Version: return "--version";
    }
    return "";
}

void CheckOutput(CliOptions& options) {
    const bool still = options.command == Command::Preview || options.command == Command::Screenshot;
    if (!options.outputGiven) {
        const char* name = options.command == Command::Preview      ? "preview.png"
                           : options.command == Command::Screenshot ? "dialog.png"
                                                                    : "lumafex.gif";
        options.output = Absolute(name, "--output");
        return;
    }
    if (still) {
        if (!EndsWith(options.output, ".png"))
            throw UsageError(std::string(CommandName(options.command)) + " writes a PNG picture; name the file with .png, not " +
                             options.output + ".");
        return;
    }
    if (!EndsWith(options.output, ".gif") && !EndsWith(options.output, ".png") && !EndsWith(options.output, ".apng") &&
        !EndsWith(options.output, ".webp"))
        throw UsageError("The output's name says its format: .gif (GIF), .png or .apng (APNG) or .webp (WebP); " +
                         options.output + " has none of them.");
}

}  // namespace

CliOptions ParseCommandLine(const std::vector<std::string>& arguments) {
    CliOptions options;
    std::size_t next = 0;
    if (!arguments.empty()) {
        const std::string& first = arguments[0];
        if (first == "build") options.command = Command::Build, next = 1;
        else if (first == "preview") options.command = Command::Preview, next = 1;
        else if (first == "screenshot") options.command = Command::Screenshot, next = 1;
        else if (first == "effects") options.command = Command::Effects, next = 1;
    }
    const std::map<std::string, OptionRule> rules = OptionRules();
    bool sawOutput = false, sawEffect = false, sawImage = false, sawSettings = false, sawPalette = false;
    for (; next < arguments.size(); ++next) {
        std::string name = arguments[next];
        if (name == "-h" || name == "--help" || name == "--version") {
            CliOptions asked;
            asked.command = name == "--version" ? Command::Version : Command::Help;
            return asked;
        }
        std::optional<std::string> value;
        if (name.rfind("--", 0) == 0) {
            std::size_t equals = name.find('=');
            if (equals != std::string::npos) {
                value = name.substr(equals + 1);
                name.erase(equals);
            }
        }
        auto rule = rules.find(name);
        if (rule == rules.end()) {
            if (name.empty() || name[0] != '-')
                throw UsageError("\"" + name + "\" is not an option or a command; the commands are preview, screenshot and effects.");
            throw UsageError("Unknown option " + name + "; lumafex --help lists them.");
        }
        const std::vector<Command>& allowed = rule->second.commands.empty()
                                                  ? std::vector<Command>{Command::Build, Command::Preview, Command::Screenshot}
                                                  : rule->second.commands;
        if (std::find(allowed.begin(), allowed.end(), options.command) == allowed.end())
            throw UsageError(name + " does not go with " + CommandName(options.command) + ".");
        if (rule->second.takesValue) {
            if (!value) {
                if (next + 1 >= arguments.size()) throw UsageError(name + " needs a value.");
                value = arguments[++next];
            }
        } else if (value) {
            throw UsageError(name + " takes no value.");
        }
        if (name == "-o" || name == "--output") Once(sawOutput, "--output");
        if (name == "-e" || name == "--effect") Once(sawEffect, "--effect");
        if (name == "-i" || name == "--image") Once(sawImage, "--image");
        if (name == "-s" || name == "--settings") Once(sawSettings, "--settings");
        if (name == "--palette") Once(sawPalette, "--palette");
        rule->second.apply(options, value.value_or(""));
    }
    if (options.palette && options.customPalette.value_or(false))
        throw UsageError("--palette chooses a fixed palette, which --custom-palette turns off.");
    if (options.trueColour.value_or(false) && options.personality != HostPersonality::TrueColour)
        throw UsageError("--truecolor needs a host that takes true-colour frames: add --host truecolor.");
    if (options.supercompress.value_or(false) && options.personality != HostPersonality::Gif)
        throw UsageError("--supercompress needs the GIF host, which --host truecolor replaces.");
    if (options.command != Command::Effects) CheckOutput(options);
    return options;
}

std::string UsageText() {
    return R"(Usage: lumafex [OPTION]...              build an animation with the plug-in's dialog
       lumafex preview [OPTION]...      write the dialog's still preview as a PNG picture
       lumafex screenshot [OPTION]...   write a picture of the whole dialog
       lumafex effects [-e EFFECT]      list the effects with their page parameters
       lumafex --help | --version

lumafex opens the Lumafex plug-in's dialog without a screen and works it as a
person would: it chooses the effect, opens a settings document, loads the
picture, sets the fields you name and the output options, and presses Build.
With no options it builds the effect used last (Snow at first) on the picture
used last (the built-in sample picture at first) into lumafex.gif. Settings
stay from one run to the next, as they do in the dialog.

What to build:
  -e, --effect NAME       the effect, by its name in the effect list (any case;
                          a unique beginning will do)
  -i, --image FILE        animate this picture (PNG, JPEG, GIF, WebP or BMP)
  -s, --settings FILE     open this settings document (.lfx) first
      --set LABEL=VALUE   give the control with this label on the effect's
                          page (else on the dialog) a value, as you would type
                          or choose it: a number for a field, an item's text
                          for a list, on or off for a check box, #rrggbb for a
                          colour button, left, right, up or down for a
                          direction pad. A label used more than once on a page
                          takes its row's label first: --set "Color 2 Enable=off"
      --shift             open the dialog with Shift held: built-in settings,
                          each page's Shift-key delay, markers at their places
      --test              press Test instead of Build

Output:
  -o, --output FILE       the file to write: .gif for GIF (lumafex.gif when not
                          given), .png or .apng for APNG, .webp for WebP;
                          preview and screenshot write PNG (preview.png,
                          dialog.png)
      --host gif|truecolor  the host the plug-in works for: gif (the default)
                          counts delays in hundredths of a second; truecolor
                          counts milliseconds and takes true-colour frames
      --min-delay N       raise delays shorter than N hundredths of a second to
                          N in the written file (browsers play GIF delays of 0
                          or 1 hundredth as 10)
      --memory-budget SIZE  the most the frames and pictures may hold at
                          once, as 512M or 2G (0: no limit); a build that needs
                          more stops with "Memory error". The default is
                          LUMAFEX_MEMORY_BUDGET, else three quarters of the
                          machine's memory
  The dialog's output options (each has a --no- form too):
      --palette NAME      the fixed palette (with --no-custom-palette): Black
                          and white, Sixteen-color Windows, 32-color
                          orthogonal, 64-color orthogonal, 128-color
                          orthogonal, 216-color safe, 256-color orthogonal,
                          256-color with gray, 256 gray levels
      --custom-palette    a palette built from the frames
      --dither            error-diffusion dithering
      --truecolor         true-colour frames (needs --host truecolor)
      --supercompress     unchanged pixels made transparent (GIF host only)
      --mask-background   the effect's background colour made transparent
      --comment           a descriptive comment in the file

Settings and messages:
      --save-settings FILE  save every setting as a document before building
      --config-dir DIR    keep the configuration and marker files in DIR
                          instead of the user's folder (~/.config/Vellumark)
  -q, --quiet             print nothing but errors
  -v, --verbose           print the plug-in's status texts and every step
                          taken in the dialog
  -h, --help              print this text
      --version           print the version

Every message the plug-in shows is printed on standard error. The exit status
is 0 when the file was written, 1 when something failed (a message from the
plug-in, no file written) and 2 for a wrong command line.
)";
}
