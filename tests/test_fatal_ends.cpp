// The console's fatal line, made without the box machinery (for memory
// running out), reads exactly as the box would; a long message is cut to
// leave room for "QUITTING...". The fatal ends of a scan are in
// test_fault_matrix.cpp, twinex-cli's status after them in tests/cli.
#include <string>

#include <gtest/gtest.h>

#include "tests/support/cli_harness.h"
#include "ui/console/console_feedback.h"

namespace {

TEST(FatalEnds, TheConsolesFatalLineReadsAsTheBox)
{
    for (const char* msg : {"OUT OF MEMORY", "Can't create sinkhole sub-directory \"/o/a\nb\x01\"", "ends in:", ""}) {
        FILE* boxed = std::tmpfile();
        FILE* fixed = std::tmpfile();
        ConsoleFeedback(stdin, boxed).Complain(COMPLAIN_ERROR, "twinex", msg, "QUITTING...", nullptr);
        ConsoleFeedback(stdin, fixed).show_fatal(msg);
        EXPECT_EQ(contents(fixed), contents(boxed));
        std::fclose(boxed);
        std::fclose(fixed);
    }
    char text[40];
    fatal_text(text, sizeof text, "a message far too long for this little buffer");
    EXPECT_EQ(std::string(text), "a message far too long for\nQUITTING...\n");
}

}  // namespace
