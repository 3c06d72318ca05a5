#include "tests/support/test_host.h"

#include <cstdint>
#include <cstring>

#include "image/packed_dib.h"

namespace testing_support {

namespace {
TestHost* current = nullptr;

std::vector<BYTE> BytesOf(HGLOBAL block) {
    std::vector<BYTE> bytes;
    if (!block) return bytes;
    const SIZE_T size = GlobalSize(block);
    const void* data = GlobalLock(block);
    if (!data) return bytes;
    bytes.assign(static_cast<const BYTE*>(data), static_cast<const BYTE*>(data) + size);
    GlobalUnlock(block);
    return bytes;
}
}  // namespace

TestHost::TestHost(std::uint8_t flags, unsigned versionByte, unsigned buttonStyle) {
    context_.size = sizeof(HostContext);
    context_.version = versionByte << 8;
    context_.buttonStyle = buttonStyle;
    context_.callback = &TestHost::Callback;
    context_.flags = flags;
    current = this;
}

TestHost::~TestHost() {
    if (current == this) current = nullptr;
    for (auto& [path, picture] : pictures)
        if (picture) GlobalFree(picture);
}

std::vector<const HostRequest*> TestHost::Of(std::uint32_t code) const {
    std::vector<const HostRequest*> found;
    for (const HostRequest& request : requests)
        if (request.code == code) found.push_back(&request);
    return found;
}

std::size_t TestHost::Count(std::uint32_t code) const { return Of(code).size(); }

std::vector<std::uint32_t> TestHost::MainCodes() const {
    std::vector<std::uint32_t> codes;
    for (const HostRequest& request : requests)
        if (request.code != kRequestStatusText && request.code != kRequestProgress) codes.push_back(request.code);
    return codes;
}

std::int64_t TestHost::Callback(void* task, std::uint32_t code, std::int64_t a, void* b) {
    return current ? current->Answer(task, code, a, b) : 0;
}

std::int64_t TestHost::Answer(void* task, std::uint32_t code, std::int64_t a, void* b) {
    HostRequest request;
    request.code = code;
    request.a = a;
    request.b = static_cast<std::int64_t>(reinterpret_cast<std::intptr_t>(b));
    request.sameTask = task && task == task_;
    switch (code) {
    case kRequestDecodeImage:
    case kRequestShowHelp:
    case kRequestStatusText:
    case kRequestComment:
        request.text = b ? static_cast<const char*>(b) : "";
        break;
    case kRequestNewAnimation:
    case kRequestNewTestAnimation:
        if (b) request.task = *static_cast<const TaskRecord*>(b);
        break;
    case kRequestAddFrame:
        if (b) {
            request.image = *static_cast<const ImageRecord*>(b);
            request.frame = BytesOf(request.image->image);
        }
        break;
    case kRequestChooseColour:
        if (b) request.colour = *static_cast<const ColourRequest*>(b);
        break;
    default:
        break;
    }
    if (onRequest) onRequest(request);

    std::int64_t answer = 1;
    if (refused.count(code)) {
        answer = 0;
    } else if (code == kRequestAddFrame && request.image &&
               static_cast<int>(request.image->frameIndex) == refusedFrame) {
        answer = 0;
    } else {
        switch (code) {
        case kRequestNewAnimation:
        case kRequestNewTestAnimation:
            task_ = b;
            break;
        case kRequestFinish:
            task_ = nullptr;
            break;
        case kRequestChooseImageFile:
            if (chosenFile.empty() || !b) {
                answer = 0;
            } else {
                std::strncpy(static_cast<char*>(b), chosenFile.c_str(), MAX_PATH - 1);
                static_cast<char*>(b)[MAX_PATH - 1] = 0;
            }
            break;
        case kRequestDecodeImage: {
            auto found = pictures.find(request.text);
            // The plug-in owns what it receives: hand out a copy.
            answer = found == pictures.end() ? 0 : reinterpret_cast<std::int64_t>(CopyGlobalBlock(found->second));
            break;
        }
        case kRequestChooseColour:
            if (!chosenColour || !b) answer = 0;
            else static_cast<ColourRequest*>(b)->colour = *chosenColour;
            break;
        default:
            break;
        }
    }
    request.answer = answer;
    requests.push_back(std::move(request));
    return answer;
}

}  // namespace testing_support
