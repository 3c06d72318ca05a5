#include "tests/support/test_host.h"

#include <cstdint>

#include "image/packed_dib.h"

namespace testing_support {

namespace {
TestHost* current = nullptr;
}

TestHost::TestHost(std::uint8_t flags, unsigned versionByte) {
    context_.size = sizeof(HostContext);
    context_.version = versionByte << 8;
    context_.callback = &TestHost::Callback;
    context_.flags = flags;
    current = this;
}

TestHost::~TestHost() {
    if (current == this) current = nullptr;
    for (auto& [path, picture] : pictures)
        if (picture) GlobalFree(picture);
}

std::int64_t TestHost::Callback(void*, std::uint32_t code, std::int64_t a, void* b) {
    if (!current) return 0;
    HostRequest request{code, a, static_cast<std::int64_t>(reinterpret_cast<std::intptr_t>(b)), {}};
    if (code == kRequestDecodeImage || code == kRequestShowHelp || code == kRequestStatusText)
        request.text = b ? static_cast<const char*>(b) : "";
    current->requests.push_back(request);
    if (code == kRequestDecodeImage) {
        auto found = current->pictures.find(request.text);
        // The plug-in owns what it receives: hand out a copy.
        return found == current->pictures.end() ? 0
                                                : reinterpret_cast<std::int64_t>(CopyGlobalBlock(found->second));
    }
    return 1;
}

}  // namespace testing_support
