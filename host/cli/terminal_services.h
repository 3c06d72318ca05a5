// The host's services on a command line: the picture and colours to choose
// come from the command line, messages, status texts and progress go to
// standard error (a progress bar only when that is a terminal).
#pragma once

#include <cstdint>
#include <deque>
#include <iosfwd>
#include <string>
#include <vector>

#include "host/cli/options.h"
#include "host/core/host_services.h"

class TerminalServices : public HostServices {
public:
    TerminalServices(std::ostream& out, Verbosity verbosity, bool terminal);
    ~TerminalServices() override;

    // Answers for the plug-in's next questions, in order; none left means
    // the user cancelled.
    std::deque<std::string> fileChoices;
    std::deque<COLORREF> colourChoices;

    bool ChooseImageFile(HWND owner, std::string& path) override;
    bool ChooseColour(HWND owner, COLORREF& colour, const BYTE* swatches) override;
    bool ShowHelp(const std::string& document, const std::string& anchor) override;
    void ShowStatus(const std::string& text) override;
    void ShowProgress(std::int64_t index, std::int64_t count) override;
    void Report(MessageKind kind, const std::string& text) override;

    // A text the plug-in showed in its message dialog.
    void PluginMessage(const std::string& text);
    // Our own notes and errors, in the same stream.
    void Note(const std::string& text);
    void Error(const std::string& text);
    void Detail(const std::string& text);  // only with -v

    // Messages of the plug-in and errors of the host so far.
    std::size_t Complaints() const { return complaints_; }
    const std::vector<std::string>& PluginMessages() const { return pluginMessages_; }
    unsigned ImageFilesAsked() const { return imageFilesAsked_; }
    unsigned ColoursAsked() const { return coloursAsked_; }

private:
    void Line(const std::string& text);
    void ClearBar();

    std::ostream& out_;
    Verbosity verbosity_;
    bool terminal_;
    std::string status_;
    bool barShown_ = false;
    int barFilled_ = -1;
    std::int64_t barIndex_ = -1;
    std::size_t complaints_ = 0;
    std::vector<std::string> pluginMessages_;
    unsigned imageFilesAsked_ = 0;
    unsigned coloursAsked_ = 0;
};
