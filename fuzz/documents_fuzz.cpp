// Settings documents on any bytes, opened into the real main dialog: nothing
// crashes or leaks, and the state a document leaves behind is saved and
// opened again without change (a second save gives the same file). One
// dialog takes every input in turn, as a user opens one document after
// another; saving and opening all of its controls is what each input costs.
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "fuzz/support/fuzz_support.h"
#include "fuzz/support/main_dialog_session.h"
#include "luma/automation.h"
#include "settings/documents.h"

namespace {

namespace automation = luma::automation;

std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// The dialog as it opened. A document may rightly leave things open that
// belong to its effect's page (a marker window and its positions), so each
// input ends by going back here before anything is counted.
const std::string& Baseline() {
    static const std::string path = fuzzing::PrivateFolder() + "/baseline.lfx";
    return path;
}

void Open(const std::string& path) {
    OpenDocument(fuzzing::MainDialog(), path.c_str());
    automation::Pump();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzing::Start();
    if (!SaveDocument(fuzzing::MainDialog(), Baseline().c_str())) fuzzing::Fail("cannot save the starting document");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string first = fuzzing::PrivateFolder() + "/first.lfx";
    static const std::string second = fuzzing::PrivateFolder() + "/second.lfx";
    const fuzzing::LeakCheck leaks;

    Open(fuzzing::WriteInputFile("input.lfx", data, size));
    if (!SaveDocument(fuzzing::MainDialog(), first.c_str())) fuzzing::Fail("cannot save the document");
    Open(first);
    if (!SaveDocument(fuzzing::MainDialog(), second.c_str())) fuzzing::Fail("cannot save the document again");
    const std::string a = ReadFile(first), b = ReadFile(second);
    if (a != b) {
        std::size_t at = 0;
        while (at < a.size() && at < b.size() && a[at] == b[at]) ++at;
        std::size_t line = a.rfind('\n', at);
        line = line == std::string::npos ? 0 : line + 1;
        fuzzing::Fail("a saved document opened and saved again differs",
                      a.substr(line, a.find('\n', at) - line) + " | " + b.substr(line, b.find('\n', at) - line));
    }

    Open(Baseline());
    automation::Reset();
    leaks.Check("opening a document left something behind");
    return 0;
}
