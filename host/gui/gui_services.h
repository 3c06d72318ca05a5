// The GUI's answers to the plug-in's requests: file and colour choosers, the
// help viewer, status and progress in the host window's status bar, and
// messages. Unattended (screenshots, tests) it never opens a window of its
// own: file choices come from a queue, colours stay as offered, messages are
// only recorded.
#pragma once

#include <QPointer>
#include <QString>

#include <deque>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "host/core/host_services.h"

class QTextBrowser;

class GuiServices : public HostServices {
public:
    bool unattended = false;
    std::deque<std::string> fileChoices;  // answered first, in order
    std::vector<std::pair<MessageKind, std::string>> messages;
    std::vector<std::pair<std::string, std::string>> helpShown;

    // Where status and progress go (the host window sets them).
    std::function<void(const QString&)> status;
    std::function<void(std::int64_t, std::int64_t)> progress;

    bool ChooseImageFile(HWND owner, std::string& path) override;
    bool ChooseColour(HWND owner, COLORREF& colour, const BYTE* swatches) override;
    bool ShowHelp(const std::string& document, const std::string& anchor) override;
    void ShowStatus(const std::string& text) override;
    void ShowProgress(std::int64_t index, std::int64_t count) override;
    void Report(MessageKind kind, const std::string& text) override;

private:
    QPointer<QTextBrowser> help_;
};
