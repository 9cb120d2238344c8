// The host's printf: the C library's conversions unchanged, %S as a unit's
// path; diagnostics printed unless captured.
#include <cstdio>

#include <gtest/gtest.h>

#include "TestFolder.h"

namespace standintest {
namespace {

// dfx::Format writes what the C library writes.
template <class... Args> void ExpectAsC(const char *format, Args... args)
{
    char text[512];
    std::snprintf(text, sizeof text, format, args...);
    EXPECT_EQ(text, dfx::Format(format, args...)) << format;
}

TEST(Format, ConversionsAreTheCLibrarys)
{
    ExpectAsC("%d|%5d|%-5d|%+d", 42, -7, 3, 9);
    ExpectAsC("%u %x %X %o %c", 7u, 255u, 255u, 8u, 'k');
    ExpectAsC("%ld %lld %zu", 1L << 40, -(1LL << 50), sizeof(double));
    ExpectAsC("%f %.3e %g %10.4f %-8.2g|", 3.5, 1e-9, 0.1, -2.25, 7e10);
    ExpectAsC("%*d %.*f %*.*f", 6, 12, 2, 3.14159, 8, 1, 2.5);
    ExpectAsC("[%s] [%8s] [%-6.2s] 100%%", "a", "right", "left");
    const std::string longText(2000, 'x');
    EXPECT_EQ(longText + "!", dfx::Format("%s!", longText.c_str()));
}

TEST(Format, AUnitIsWrittenAsItsPath)
{
    AddTestFolder();
    DfxUnit *main = dfx::NewProgram(nullptr, "main");
    DfxUnit *inner = dfx::NewProgram(main, "inner");
    DfxUnit *named = dfx::CreateUnit(inner, "counter", "c", {});
    DfxUnit *unnamed = dfx::CreateUnit(main, "counter", "", {});
    EXPECT_EQ("main/inner/c: 3", dfx::Format("%S: %d", named, 3));
    EXPECT_EQ("main/<counter>", dfx::Format("%S", unnamed));
    EXPECT_EQ("<root>", dfx::Format("%S", dfx_unit_root()));
    EXPECT_EQ("<no unit>", dfx::Format("%S", static_cast<DfxUnit *>(nullptr)));
    dfx::DeleteUnit(main);
    EXPECT_EQ("<no unit> gone", dfx::Format("%S gone", named));
}

TEST(Diagnostics, ReachPeopleUnlessCaptured)
{
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    dfx_warning("%s %d", "careful", 1);
    dfx_error("broken\n");
    dfx_diagnostics(DFX_INFO, "note %d\n", 2);
    EXPECT_EQ("warning: careful 1\nerror: broken\n", testing::internal::GetCapturedStderr());
    EXPECT_EQ("note 2\n", testing::internal::GetCapturedStdout());

    dfx::CaptureDiagnostics captured;
    dfx_warning("quiet %c", 'w');
    dfx_diagnostics(DFX_ERROR, "e");
    EXPECT_EQ(std::vector<std::string>{"quiet w"}, captured.Texts(DFX_WARNING));
    EXPECT_EQ(std::vector<std::string>{"e"}, captured.Texts(DFX_ERROR));
}

} // namespace
} // namespace standintest
