// What a front end supplies to the host: the services that look different
// on a command line and in a window (choosing files and colours, help,
// status, progress, messages). The Host calls them while it answers the
// plug-in; each front end plugs in its own.
#pragma once

#include <windows.h>

#include <cstdint>
#include <deque>
#include <iosfwd>
#include <string>
#include <utility>
#include <vector>

enum class MessageKind { Information, Error };

class HostServices {
public:
    virtual ~HostServices() = default;

    // A picture file chosen by the user; false when none was.
    virtual bool ChooseImageFile(HWND owner, std::string& path) = 0;
    // A colour chosen by the user, 0x00BBGGRR in and out; swatches are the
    // plug-in's 256 suggested colours as red-green-blue triples (may be null).
    virtual bool ChooseColour(HWND owner, COLORREF& colour, const BYTE* swatches) = 0;
    // Shows the help document (a full path) at anchor (empty for its start);
    // false when it cannot be shown.
    virtual bool ShowHelp(const std::string& document, const std::string& anchor) = 0;
    virtual void ShowStatus(const std::string& text) = 0;
    // Frame index of count; (0, 0) clears the display.
    virtual void ShowProgress(std::int64_t index, std::int64_t count) = 0;
    // Build or Test was pressed in the plug-in's dialog.
    virtual void BuildPressed() {}
    // Something the user should read: refused records, unreadable pictures,
    // files written.
    virtual void Report(MessageKind kind, const std::string& text) = 0;
};

// A front end without a user: answers come from queues filled beforehand and
// everything shown is recorded. Tests use it as it stands; a command line
// can add a stream that every message is also printed to.
class ScriptedServices : public HostServices {
public:
    std::deque<std::string> fileChoices;  // answered in order; none left means "cancelled"
    std::deque<COLORREF> colourChoices;
    bool helpAvailable = true;

    std::vector<std::pair<std::string, std::string>> helpShown;  // document, anchor
    std::vector<std::string> statusTexts;
    std::vector<std::pair<std::int64_t, std::int64_t>> progress;
    std::vector<std::pair<MessageKind, std::string>> messages;
    std::vector<COLORREF> coloursOffered;
    int buildPresses = 0;
    std::ostream* echo = nullptr;  // messages are printed here too when set

    bool ChooseImageFile(HWND owner, std::string& path) override;
    bool ChooseColour(HWND owner, COLORREF& colour, const BYTE* swatches) override;
    bool ShowHelp(const std::string& document, const std::string& anchor) override;
    void ShowStatus(const std::string& text) override;
    void ShowProgress(std::int64_t index, std::int64_t count) override;
    void BuildPressed() override;
    void Report(MessageKind kind, const std::string& text) override;

    // The texts of all messages of a kind, in order.
    std::vector<std::string> Messages(MessageKind kind) const;
};
