// Which program the recorded default-browser command line names.
#include "app/DefaultBrowser.h"

#include <gtest/gtest.h>

namespace {

TEST(DefaultBrowser, TheProgramIsTheFirstTokenUpToADoubleQuote) {
    struct Case {
        const wchar_t* commandLine;
        const wchar_t* program;
    };
    const Case cases[] = {
        {L"\"/usr/bin/browser\" -url %1", L"/usr/bin/browser"},
        {L"/usr/bin/browser -url", L"/usr/bin/browser -url"},
        {L"\"\"/opt/b\"", L"/opt/b"},
        {L"", L""},
        {L"\"\"", L""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DefaultBrowser::ProgramOf(c.commandLine), c.program);
    }
}

}  // namespace
