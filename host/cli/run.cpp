#include "host/cli/run.h"

#include <shlobj.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <optional>

#include "dialog/main_dialog.h"
#include "effects/effect_list.h"
#include "host/cli/dialog_controls.h"
#include "host/cli/dialog_session.h"
#include "host/cli/effects_listing.h"
#include "host/cli/still_picture.h"
#include "host/cli/terminal_services.h"
#include "host/core/host_error.h"
#include "luma/automation.h"
#include "luma/memory.h"
#include "plugin/guards.h"

namespace automation = luma::automation;

namespace {

// The plug-in's message when the host could not decode a picture.
constexpr const char kPictureNotLoaded[] = "There has been error loading the selected image file";

// The preview is repainted when the preview timer fires after an edit
// (one second unless the configuration says otherwise); a person waits a
// little longer before looking.
constexpr unsigned kPreviewSettleMilliseconds = 2500;

void MakeFolders(const std::string& path) {
    std::error_code error;
    std::filesystem::create_directories(path, error);
    if (error) throw HostError("Cannot make the folder " + path + ": " + error.message() + ".");
}

// The plug-in keeps its configuration and marker files in folders it
// expects its host to have made.
void PrepareFolders(const CliOptions& options, TerminalServices& services) {
    if (!options.configDir.empty()) {
        MakeFolders(options.configDir);
        setenv("XDG_CONFIG_HOME", options.configDir.c_str(), 1);
    }
    char appData[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathA(nullptr, appData, CSIDL_APPDATA, TRUE) || !appData[0]) {
        services.Note("There is no folder for the configuration; settings will not be kept.");
        return;
    }
    try {
        MakeFolders(std::string(appData) + "/Vellumark/Lumafex");
    } catch (const HostError& error) {
        if (!options.configDir.empty()) throw;
        services.Note(std::string(error.what()) + " Settings will not be kept.");
    }
}

// The document menu of the Open/Save button, answered with item and file.
void UseDocumentMenu(HWND dialog, UINT item, const std::string& path, const ObservingDriver& observer) {
    HWND button = DialogButton(dialog, "Open/Save");
    const unsigned menus = observer.MenusShown();
    const unsigned files = observer.FileDialogsShown();
    automation::AnswerNextMenu(item);
    automation::AnswerNextFileDialog(path);
    ClickButton(button, "Open/Save");
    if (observer.MenusShown() == menus) throw StepError("The Open/Save button showed no menu.");
    if (observer.FileDialogsShown() == files)
        throw StepError(std::string("The Open/Save menu's ") + (item == kOpenDocumentCommand ? "Open" : "Save as...") +
                        " asked for no file.");
}

void AddSteps(DialogSession& session, const CliOptions& options, TerminalServices& services,
              const ObservingDriver& observer) {
    if (options.shift) session.Add("let go of Shift", [](HWND) { automation::HoldShift(false); });

    if (!options.settingsDocument.empty()) {
        const std::string path = options.settingsDocument;
        // The document's picture does not matter when another is given.
        const bool pictureGiven = !options.image.empty();
        session.Add("open the settings document " + path, [path, pictureGiven, &observer, &services, &session](HWND dialog) {
            if (access(path.c_str(), R_OK) != 0) throw StepError("The settings document " + path + " cannot be read.");
            const std::size_t complaints = services.Complaints();
            const std::size_t messages = services.PluginMessages().size();
            UseDocumentMenu(dialog, kOpenDocumentCommand, path, observer);
            if (!pictureGiven || services.Complaints() == complaints) return;
            const std::vector<std::string>& said = services.PluginMessages();
            for (std::size_t i = messages; i < said.size(); ++i)
                if (said[i] != kPictureNotLoaded) return;
            services.Note("The picture given with -i is used instead.");
            session.Forgive(services.Complaints() - complaints);
        });
    }

    if (!options.image.empty()) {
        const std::string path = options.image;
        session.Add("choose the picture " + path, [path, &services](HWND dialog) {
            HWND button = DialogButton(dialog, "Select...");
            const unsigned asked = services.ImageFilesAsked();
            services.fileChoices.assign(1, path);
            ClickButton(button, "Select...");
            services.fileChoices.clear();
            if (services.ImageFilesAsked() == asked) throw StepError("The Select... button asked for no picture.");
        });
    }

    if (!options.effect.empty()) {
        const std::string name = kEffectNames[static_cast<std::size_t>(FindEffect(options.effect))].name;
        session.Add("choose the effect " + name, [name](HWND dialog) {
            HWND list = DialogItem(dialog, kEffectList, "effect list");
            ChooseListItem(list, FindListItem(list, name, "The effect list"), "The effect list");
        });
    }

    struct Box {
        int id;
        const char* name;
        std::optional<bool> value;
    };
    std::optional<bool> customPalette = options.customPalette;
    if (options.palette && !customPalette) customPalette = false;  // the list is disabled while it is checked
    const Box boxes[] = {{kTrueColourBox, "True color", options.trueColour},
                         {kCustomPaletteBox, "Custom palette", customPalette},
                         {kDitherBox, "Dither", options.dither},
                         {kSupercompressBox, "Supercompress", options.supercompress},
                         {kMaskBackgroundBox, "Mask background", options.maskBackground},
                         {kCommentBox, "Add comment", options.comment}};
    for (const Box& box : boxes) {
        if (!box.value) continue;
        const bool on = *box.value;
        const std::string name = box.name;
        const int id = box.id;
        session.Add(std::string(on ? "check " : "clear ") + name, [=](HWND dialog) {
            SetCheckBox(DialogItem(dialog, id, name + " box"), on, name);
        });
        if (id == kCustomPaletteBox && options.palette) {
            const std::string palette = *options.palette;
            session.Add("choose the palette " + palette, [palette](HWND dialog) {
                HWND list = DialogItem(dialog, kPaletteList, "palette list");
                ChooseListItem(list, FindListItem(list, palette, "The palette list"), "The palette list");
            });
        }
    }

    for (const LabelledValue& setting : options.values)
        session.Add("set " + setting.label + " to " + setting.value, [setting, &services](HWND dialog) {
            SetControl(FindLabelledControl(dialog, setting.label), setting.value, services);
        });

    if (!options.saveSettings.empty()) {
        const std::string path = options.saveSettings;
        session.Add("save the settings as " + path, [path, &observer](HWND dialog) {
            UseDocumentMenu(dialog, kSaveDocumentAsCommand, path, observer);
            if (access(path.c_str(), R_OK) != 0) throw StepError("The settings were not saved as " + path + ".");
        });
    }

    auto press = [&session](const std::string& label) {
        session.Add("press " + label, [label](HWND dialog) { ClickButton(DialogButton(dialog, label), label); });
    };
    switch (options.command) {
    case Command::Build:
        press(options.test ? "Test" : "Build");
        if (options.test) press("Cancel");
        break;
    case Command::Preview:
    case Command::Screenshot: {
        const bool whole = options.command == Command::Screenshot;
        const std::string path = options.output;
        session.Add(whole ? "picture the dialog" : "picture the preview", [whole, path](HWND dialog) {
            HWND area = whole ? dialog : DialogItem(dialog, kPreviewArea, "preview area");
            automation::Wait(kPreviewSettleMilliseconds);
            GlobalBlock picture(automation::Render(dialog));
            if (!picture) throw StepError("The dialog could not be pictured.");
            RECT outer, inner;
            GetWindowRect(dialog, &outer);
            GetWindowRect(area, &inner);
            OffsetRect(&inner, -outer.left, -outer.top);
            try {
                WritePicturePng(picture.get(), inner, path);
            } catch (const HostError& error) {
                throw StepError(error.what());
            }
        });
        press("Cancel");
        break;
    }
    default:
        break;
    }
}

// Browsers play GIF delays of 0 or 1 hundredth as 10 hundredths.
void NoteShortDelays(const Host& host, const CliOptions& options, TerminalServices& services) {
    const ReceivedAnimation* animation = host.LastAnimation();
    if (!animation || host.OutputFormat() != AnimationFormat::Gif || options.minimumDelay >= 2) return;
    std::size_t short_ = 0;
    for (const ReceivedFrame& frame : animation->frames)
        if (DelayInHundredths(frame.delay, animation->delayUnit) <= 1) ++short_;
    if (!short_) return;
    services.Note(std::to_string(short_) + " of " + std::to_string(animation->frames.size()) +
                  " frames have a delay of 0 or 1 hundredth of a second, which web browsers play as 10 hundredths; "
                  "--min-delay 2 raises such delays in the written file.");
}

}  // namespace

std::string HelpDocumentPath() {
    const std::string plugin = DefaultPluginPath();
    const std::size_t slash = plugin.find_last_of('/');
    return (slash == std::string::npos ? std::string(".") : plugin.substr(0, slash)) + "/LUMAPLUG.HTML";
}

int RunDialogCommand(const CliOptions& options) {
    TerminalServices services(std::cerr, options.verbosity, isatty(STDERR_FILENO) == 1);
    HostOptions hostOptions;
    hostOptions.personality = options.personality;
    if (options.command == Command::Build) hostOptions.outputPath = options.output;
    if (options.test && options.outputGiven) hostOptions.testOutputPath = options.output;
    hostOptions.minimumDelay = options.minimumDelay;
    if (options.memoryBudget) luma::SetMemoryBudget(*options.memoryBudget);
    std::optional<Host> host;
    try {
        for (const std::string& path : {options.output, options.saveSettings}) {
            const std::filesystem::path folder = std::filesystem::path(path).parent_path();
            if (!path.empty() && !std::filesystem::is_directory(folder))
                throw HostError("The folder " + folder.string() + " does not exist; nothing was built.");
        }
        PrepareFolders(options, services);
        host.emplace(hostOptions, services);
        host->LoadPlugin();
    } catch (const HostError& error) {
        services.Error(error.what());
        return 1;
    }

    ObservingDriver observer;
    automation::Reset();
    DialogSession session(services);
    AddSteps(session, options, services, observer);
    if (options.shift) automation::HoldShift(true);
    // A remembered picture that cannot be read matters not when another is given.
    session.Start(!options.image.empty());
    host->RunPlugin(nullptr);
    const bool ranOut = automation::GetReport().scriptRanOut;
    automation::Reset();

    if (session.Failed()) {
        if (session.OpeningComplaints() && options.image.empty())
            services.Note("Nothing was built: the dialog could not open with the picture used last. "
                          "Name the picture to animate with -i.");
        return 1;
    }
    if (!session.Completed()) {
        services.Error("The dialog closed before every step was taken.");
        return 1;
    }
    if (ranOut) {
        services.Error("The dialog was still open after the last step; it was closed as Cancel.");
        return 1;
    }
    if (options.command == Command::Build) {
        const BuildOutcome& outcome = host->LastOutcome();
        if (!outcome.written || outcome.test != options.test) {
            services.Error("The plug-in delivered no animation; nothing was written.");
            return 1;
        }
        NoteShortDelays(*host, options, services);
    }
    return services.Complaints() > session.ForgivenComplaints() ? 1 : 0;
}
