// A host for tests: answers the plug-in's requests the way a simple host
// does, can refuse any of them, and records every request with copies of the
// records and pictures that came with it, so a whole run through
// PLUGIN16DoBuild can be checked afterwards.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "plugin/host_interface.h"

namespace testing_support {

struct HostRequest {
    std::uint32_t code = 0;
    std::int64_t a = 0;
    std::int64_t b = 0;  // numeric argument (the progress count)
    std::string text;    // text argument: paths, help, status, comment
    // Codes 2 to 4: whether the task pointer is the TaskRecord that request
    // 1 or 5 announced.
    bool sameTask = false;
    std::optional<TaskRecord> task;        // codes 1 and 5
    std::optional<ImageRecord> image;      // code 2
    std::vector<BYTE> frame;               // code 2: the bytes of the frame's picture
    std::optional<ColourRequest> colour;   // code 11, as asked
    std::int64_t answer = 0;               // what the host answered
};

class TestHost {
public:
    explicit TestHost(std::uint8_t flags = kHundredthsFlag, unsigned versionByte = 16, unsigned buttonStyle = 0);
    ~TestHost();
    TestHost(const TestHost&) = delete;
    TestHost& operator=(const TestHost&) = delete;

    HostContext* context() { return &context_; }

    std::vector<HostRequest> requests;
    // Pictures request 8 answers with (a copy each time), by path; a path not
    // listed gives 0.
    std::map<std::string, HGLOBAL> pictures;
    // Request codes answered 0.
    std::set<std::uint32_t> refused;
    // Request 2 is refused for this frame index only; -1 refuses none.
    int refusedFrame = -1;
    // Request 6's choice; empty: nothing is chosen (0).
    std::string chosenFile;
    // Request 11's choice; none: the chooser is cancelled (0).
    std::optional<COLORREF> chosenColour;
    // Called with each request before it is answered (may look at windows).
    std::function<void(const HostRequest&)> onRequest;

    // The requests with this code, in order.
    std::vector<const HostRequest*> Of(std::uint32_t code) const;
    std::size_t Count(std::uint32_t code) const;
    // The codes in order, leaving out status (10) and progress (13).
    std::vector<std::uint32_t> MainCodes() const;

private:
    static std::int64_t Callback(void* task, std::uint32_t code, std::int64_t a, void* b);
    std::int64_t Answer(void* task, std::uint32_t code, std::int64_t a, void* b);

    HostContext context_{};
    const void* task_ = nullptr;  // the TaskRecord of the open animation
};

}  // namespace testing_support
