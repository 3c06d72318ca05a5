#include "tests/support/frame_digest.h"

#include <openssl/evp.h>

#include <cstdio>
#include <memory>

#include "plugin/guards.h"

namespace testing_support {

namespace {

using DigestContext = std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)>;

DigestContext StartSha256() {
    DigestContext context(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    if (context && !EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr)) context.reset();
    return context;
}

std::string FinishHex(EVP_MD_CTX* context) {
    unsigned char value[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (!EVP_DigestFinal_ex(context, value, &size)) return {};
    std::string hex;
    char pair[3];
    for (unsigned int i = 0; i < size; ++i) {
        std::snprintf(pair, sizeof pair, "%02x", value[i]);
        hex += pair;
    }
    return hex;
}

}  // namespace

std::string Sha256Hex(const void* bytes, std::size_t size) {
    DigestContext context = StartSha256();
    if (!context || !EVP_DigestUpdate(context.get(), bytes, size)) return {};
    return FinishHex(context.get());
}

std::string FramesDigest(const BuiltFrames& frames) {
    DigestContext context = StartSha256();
    if (!context) return {};
    for (int i = 0; i < frames.count(); ++i) {
        const FrameRecord record = frames[i];
        const BYTE delay[4] = {static_cast<BYTE>(record.delay), static_cast<BYTE>(record.delay >> 8),
                               static_cast<BYTE>(record.delay >> 16), static_cast<BYTE>(record.delay >> 24)};
        GlobalLockGuard<BYTE> bytes(record.image);
        // A frame that cannot be read must not pass for a golden build.
        if (!bytes) return {};
        EVP_DigestUpdate(context.get(), delay, sizeof delay);
        EVP_DigestUpdate(context.get(), bytes.get(), GlobalSize(record.image));
    }
    return FinishHex(context.get());
}

}  // namespace testing_support
