#include "host/core/host_services.h"

#include <ostream>

bool ScriptedServices::ChooseImageFile(HWND, std::string& path) {
    if (fileChoices.empty()) return false;
    path = fileChoices.front();
    fileChoices.pop_front();
    return true;
}

bool ScriptedServices::ChooseColour(HWND, COLORREF& colour, const BYTE*) {
    coloursOffered.push_back(colour);
    if (colourChoices.empty()) return false;
    colour = colourChoices.front();
    colourChoices.pop_front();
    return true;
}

bool ScriptedServices::ShowHelp(const std::string& document, const std::string& anchor) {
    helpShown.emplace_back(document, anchor);
    return helpAvailable;
}

void ScriptedServices::ShowStatus(const std::string& text) { statusTexts.push_back(text); }

void ScriptedServices::ShowProgress(std::int64_t index, std::int64_t count) { progress.emplace_back(index, count); }

void ScriptedServices::BuildPressed() { ++buildPresses; }

void ScriptedServices::Report(MessageKind kind, const std::string& text) {
    messages.emplace_back(kind, text);
    if (echo) *echo << text << '\n';
}

std::vector<std::string> ScriptedServices::Messages(MessageKind kind) const {
    std::vector<std::string> out;
    for (const auto& [k, text] : messages)
        if (k == kind) out.push_back(text);
    return out;
}
