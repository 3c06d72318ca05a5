// lumafex: the Lumafex plug-in on the command line.
#include <cstdlib>
#include <exception>
#include <iostream>
#include <new>

#include "effects/effect_list.h"
#include "host/cli/effects_listing.h"
#include "host/cli/options.h"
#include "host/cli/run.h"
#include "luma/memory.h"

namespace {

void CheckEffectName(const std::string& name) {
    const std::vector<int> found = EffectsNamed(name);
    if (found.size() == 1) return;
    if (found.empty()) throw UsageError("No effect is called \"" + name + "\"; the effects are " + EffectNames() + ".");
    std::string which;
    for (std::size_t i = 0; i < found.size(); ++i)
        which += std::string(i == 0 ? "" : i + 1 == found.size() ? " or " : ", ") + kEffectNames[static_cast<std::size_t>(found[i])].name;
    throw UsageError("\"" + name + "\" may be " + which + "; say which.");
}

// The platform passes over a budget it cannot read; the user should hear of it.
void CheckBudgetVariable() {
    const char* text = std::getenv("LUMAFEX_MEMORY_BUDGET");
    std::size_t bytes = 0;
    if (text && !luma::ParseByteSize(text, &bytes))
        throw UsageError("LUMAFEX_MEMORY_BUDGET holds \"" + std::string(text) +
                         "\", not a size such as 512M or 2G.");
}

}  // namespace

int main(int argc, char** argv) {
    try {
        CliOptions options;
        try {
            options = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
            if (!options.effect.empty()) CheckEffectName(options.effect);
            CheckBudgetVariable();
        } catch (const UsageError& error) {
            std::cerr << "lumafex: " << error.what() << '\n';
            return 2;
        }
        switch (options.command) {
        case Command::Help:
            std::cout << UsageText() << "\nThe user guide: " << HelpDocumentPath() << '\n';
            return 0;
        case Command::Version:
            std::cout << "lumafex " << LUMAFEX_VERSION << '\n';
            return 0;
        case Command::Effects:
            ListEffects(std::cout, options.personality, options.effect.empty() ? -1 : FindEffect(options.effect));
            return 0;
        default:
            return RunDialogCommand(options);
        }
    } catch (const std::bad_alloc&) {
        std::cerr << "lumafex: out of memory\n";
    } catch (const std::exception& error) {
        std::cerr << "lumafex: " << error.what() << '\n';
    }
    return 1;
}
