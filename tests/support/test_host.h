// A host for tests: answers the plug-in's requests the way a simple host
// does and remembers each one.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "plugin/host_interface.h"

namespace testing_support {

struct HostRequest {
    std::uint32_t code;
    std::int64_t a;
    std::int64_t b;      // numeric argument (progress count)
    std::string text;    // text argument (paths, help, status)
};

class TestHost {
public:
    explicit TestHost(std::uint8_t flags = kHundredthsFlag, unsigned versionByte = 16);
    ~TestHost();

    HostContext* context() { return &context_; }
    std::vector<HostRequest> requests;
    // Pictures request 8 answers with, by path; a path not listed gives 0.
    std::map<std::string, HGLOBAL> pictures;

private:
    static std::int64_t Callback(void* task, std::uint32_t code, std::int64_t a, void* b);
    HostContext context_{};
};

}  // namespace testing_support
