#include "tests/effects/build_digest.h"

#include <openssl/evp.h>

#include <cstdio>
#include <memory>

#include "plugin/guards.h"

namespace testing_support {

std::string BuildSha256(const BuiltFrames& frames) {
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> digest(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    if (!digest || !EVP_DigestInit_ex(digest.get(), EVP_sha256(), nullptr)) return {};
    for (int i = 0; i < frames.count(); ++i) {
        const DWORD delay = frames[i].delay;
        const BYTE delayBytes[4] = {static_cast<BYTE>(delay), static_cast<BYTE>(delay >> 8),
                                    static_cast<BYTE>(delay >> 16), static_cast<BYTE>(delay >> 24)};
        GlobalLockGuard<BYTE> bytes(frames[i].image);
        if (!bytes) return {};
        EVP_DigestUpdate(digest.get(), delayBytes, sizeof delayBytes);
        EVP_DigestUpdate(digest.get(), bytes.get(), GlobalSize(frames[i].image));
    }
    unsigned char value[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (!EVP_DigestFinal_ex(digest.get(), value, &size)) return {};
    std::string hex;
    char pair[3];
    for (unsigned int i = 0; i < size; ++i) {
        std::snprintf(pair, sizeof pair, "%02x", value[i]);
        hex += pair;
    }
    return hex;
}

}  // namespace testing_support
