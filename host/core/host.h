// The host side of the plug-in interface: one Host builds the HostContext,
// loads the plug-in, answers every request of its callback and keeps the
// animation it receives, writing it to a file when the plug-in finishes.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/core/host_services.h"
#include "host/core/output_file.h"
#include "host/core/plugin_library.h"
#include "host/core/write/animation_writer.h"
#include "plugin/guards.h"
#include "plugin/host_interface.h"

// A GIF host counts delays in hundredths of a second and offers
// supercompression; a true-colour host counts milliseconds and takes frames
// as rendered.
enum class HostPersonality { Gif, TrueColour };

struct HostOptions {
    HostPersonality personality = HostPersonality::Gif;
    unsigned buttonStyle = 0;  // 0 plain push buttons, 1..3 the owner-drawn looks
    // Where a Build is written; the extension chooses the format. Test runs go
    // to a temporary file of the same format.
    std::string outputPath = "lumafex.gif";
    // Empty: DefaultPluginPath().
    std::string pluginPath;
    // Folder of the help document; empty: the plug-in's folder.
    std::string helpFolder;
    // Where a Test run is written; empty: a temporary file.
    std::string testOutputPath;
    // Shorter frame delays are raised to this many hundredths of a second in
    // the written file (what the host keeps stays as delivered); 0: none.
    unsigned minimumDelay = 0;
};

struct ReceivedFrame {
    GlobalBlock image;  // the host's own copy
    std::uint32_t delay = 0;
    std::int32_t transparentIndex = -1;
};

// An animation as the plug-in delivered it.
struct ReceivedAnimation {
    TaskRecord task{};  // as announced
    bool test = false;
    DelayUnit delayUnit = DelayUnit::Hundredths;
    std::vector<ReceivedFrame> frames;
    std::string comment;
};

// Writes a received animation in a format; throws HostError.
void WriteAnimation(const ReceivedAnimation& animation, AnimationFormat format, ByteSink& sink);

// What became of the last animation the plug-in finished.
struct BuildOutcome {
    bool written = false;
    bool test = false;
    std::string path;
    unsigned frames = 0;
};

class Host {
public:
    // Throws HostError for a button style outside 0..3. The newest living Host
    // is the one the callback reaches, as the interface gives the callback no
    // context of its own.
    Host(HostOptions options, HostServices& services);
    ~Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    // The record PLUGIN16DoBuild receives.
    HostContext& Context() { return context_; }
    DelayUnit Delays() const;
    AnimationFormat OutputFormat() const { return format_; }

    // Loads the plug-in and reads its PluginInfoRecord; throws HostError.
    void LoadPlugin();
    bool PluginLoaded() const { return plugin_ != nullptr; }
    const PluginInfoRecord& PluginInfo() const { return info_; }
    // Runs PLUGIN16DoBuild (loading the plug-in first if needed) and returns
    // its result.
    int RunPlugin(HWND parent);

    // The answer to one request, as the callback gives it.
    std::int64_t Answer(void* task, std::uint32_t code, std::int64_t a, void* b);

    bool TaskOpen() const { return task_ != nullptr; }
    // The animation last finished (not abandoned), kept until the next one is.
    const ReceivedAnimation* LastAnimation() const { return last_.get(); }
    const BuildOutcome& LastOutcome() const { return outcome_; }

private:
    struct OpenTask;
    static std::int64_t Callback(void* task, std::uint32_t code, std::int64_t a, void* b);

    std::int64_t NewAnimation(const void* record, bool test);
    std::int64_t AddFrame(const void* record);
    std::int64_t Comment(const char* text);
    std::int64_t FinishAnimation(bool keep);
    std::int64_t ChooseImageFile(HWND owner, char* buffer);
    std::int64_t DecodeImage(const char* path);
    std::int64_t ShowHelp(const char* request);
    std::int64_t ChooseColour(void* record);
    std::uint32_t WrittenDelay(std::uint32_t delay) const;
    void Tell(MessageKind kind, const std::string& text) noexcept;

    HostOptions options_;
    HostServices& services_;
    HostContext context_{};
    AnimationFormat format_;
    std::unique_ptr<PluginLibrary> plugin_;
    PluginInfoRecord info_{};
    std::unique_ptr<OpenTask> task_;
    std::unique_ptr<ReceivedAnimation> last_;
    BuildOutcome outcome_;
};
