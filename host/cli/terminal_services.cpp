#include "host/cli/terminal_services.h"

#include <algorithm>
#include <cstdio>
#include <ostream>

namespace {

constexpr int kBarWidth = 30;

std::string Hex(COLORREF colour) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", GetRValue(colour), GetGValue(colour), GetBValue(colour));
    return text;
}

}  // namespace

TerminalServices::TerminalServices(std::ostream& out, Verbosity verbosity, bool terminal)
    : out_(out), verbosity_(verbosity), terminal_(terminal) {}

TerminalServices::~TerminalServices() { ClearBar(); }

void TerminalServices::ClearBar() {
    if (!barShown_) return;
    out_ << "\r\033[K" << std::flush;
    barShown_ = false;
    barFilled_ = -1;
    barIndex_ = -1;
}

void TerminalServices::Line(const std::string& text) {
    ClearBar();
    out_ << "lumafex: " << text << '\n' << std::flush;
}

bool TerminalServices::ChooseImageFile(HWND, std::string& path) {
    ++imageFilesAsked_;
    if (fileChoices.empty()) return false;
    path = fileChoices.front();
    fileChoices.pop_front();
    Detail("picture chosen: " + path);
    return true;
}

bool TerminalServices::ChooseColour(HWND, COLORREF& colour, const BYTE*) {
    ++coloursAsked_;
    if (colourChoices.empty()) return false;
    Detail("colour chosen: " + Hex(colourChoices.front()) + " for " + Hex(colour));
    colour = colourChoices.front();
    colourChoices.pop_front();
    return true;
}

bool TerminalServices::ShowHelp(const std::string& document, const std::string& anchor) {
    // Nothing here can show a page; saying where it is serves as well.
    if (verbosity_ != Verbosity::Quiet) Line("help: " + document + (anchor.empty() ? "" : "#" + anchor));
    return true;
}

void TerminalServices::ShowStatus(const std::string& text) {
    status_ = text;
    Detail(text);
}

void TerminalServices::ShowProgress(std::int64_t index, std::int64_t count) {
    if (!terminal_ || verbosity_ == Verbosity::Quiet) return;
    if (count <= 0) {
        ClearBar();
        return;
    }
    const std::int64_t done = std::clamp<std::int64_t>(index + 1, 0, count);
    const int filled = static_cast<int>(done * kBarWidth / count);
    if (barShown_ && filled == barFilled_ && index == barIndex_) return;
    barShown_ = true;
    barFilled_ = filled;
    barIndex_ = index;
    out_ << '\r' << (status_.empty() ? std::string("Working") : status_) << " ["
         << std::string(static_cast<std::size_t>(filled), '#') << std::string(static_cast<std::size_t>(kBarWidth - filled), '.')
         << "] " << done << '/' << count << "\033[K" << std::flush;
}

void TerminalServices::Report(MessageKind kind, const std::string& text) {
    if (kind == MessageKind::Error) {
        Error(text);
        return;
    }
    if (verbosity_ != Verbosity::Quiet) Line(text);
}

void TerminalServices::PluginMessage(const std::string& text) {
    ++complaints_;
    pluginMessages_.push_back(text);
    Line(text);
}

void TerminalServices::Note(const std::string& text) {
    if (verbosity_ != Verbosity::Quiet) Line(text);
}

void TerminalServices::Error(const std::string& text) {
    ++complaints_;
    Line(text);
}

void TerminalServices::Detail(const std::string& text) {
    if (verbosity_ == Verbosity::Verbose) Line(text);
}
