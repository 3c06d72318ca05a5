#include <gtest/gtest.h>

#include <gdiplus.h>

#include "luma/gdiplus_sessions.h"

namespace {

using namespace Gdiplus;

TEST(Gdiplus, EachStartupNeedsItsOwnShutdown) {
    const std::size_t before = luma::LiveGdiplusSessions();
    GdiplusStartupInput input;
    EXPECT_EQ(input.GdiplusVersion, 1u);
    EXPECT_EQ(input.DebugEventCallback, nullptr);
    EXPECT_FALSE(input.SuppressBackgroundThread);
    EXPECT_FALSE(input.SuppressExternalCodecs);
    ULONG_PTR first = 0, second = 0;
    ASSERT_EQ(GdiplusStartup(&first, &input, nullptr), Ok);
    ASSERT_EQ(GdiplusStartup(&second, &input, nullptr), Ok);
    EXPECT_NE(first, second);
    EXPECT_EQ(luma::LiveGdiplusSessions(), before + 2);
    GdiplusShutdown(first);
    GdiplusShutdown(first);  // a token counts once
    EXPECT_EQ(luma::LiveGdiplusSessions(), before + 1);
    GdiplusShutdown(second);
    EXPECT_EQ(luma::LiveGdiplusSessions(), before);
}

TEST(Gdiplus, RefusesWhatTheLibraryRefuses) {
    const std::size_t before = luma::LiveGdiplusSessions();
    GdiplusStartupInput input;
    ULONG_PTR token = 0;
    EXPECT_EQ(GdiplusStartup(nullptr, &input, nullptr), InvalidParameter);
    EXPECT_EQ(GdiplusStartup(&token, nullptr, nullptr), InvalidParameter);
    input.GdiplusVersion = 3;
    EXPECT_EQ(GdiplusStartup(&token, &input, nullptr), UnsupportedGdiplusVersion);
    input.GdiplusVersion = 1;
    input.SuppressBackgroundThread = TRUE;
    EXPECT_EQ(GdiplusStartup(&token, &input, nullptr), InvalidParameter);
    EXPECT_EQ(luma::LiveGdiplusSessions(), before);

    GdiplusStartupOutput output{};
    ASSERT_EQ(GdiplusStartup(&token, &input, &output), Ok);
    ASSERT_NE(output.NotificationHook, nullptr);
    ULONG_PTR hookToken = 99;
    EXPECT_EQ(output.NotificationHook(&hookToken), Ok);
    output.NotificationUnhook(hookToken);
    GdiplusShutdown(token);
    EXPECT_EQ(luma::LiveGdiplusSessions(), before);
}

}  // namespace
