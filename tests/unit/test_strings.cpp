#include "convert/strings.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstring>

TEST(FormatDecimal, WritesWhatPrintfWrites)
{
    const long long values[] = {0, 7, -1, 10, 305, 2085, 4095, -4096, INT_MAX, INT_MIN,
                                LLONG_MAX, LLONG_MIN, 1000000000000LL};
    for (long long value : values) {
        SCOPED_TRACE(value);
        char ours[DECIMAL_BUFFER_SIZE];
        char theirs[64];
        memset(ours, 'x', sizeof(ours));
        FormatDecimal(value, ours);
        snprintf(theirs, sizeof(theirs), "%lld", value);
        EXPECT_STREQ(ours, theirs);
    }
}

TEST(JoinStrings, FitsExactlyOrLeavesNothing)
{
    struct Row {
        size_t size;
        bool fits;
        const char* expected;
    };
    // "C:\dir\" + "a_b" + "." + "txt" is 14 bytes of text.
    const Row rows[] = {
        {15, true, "C:\\dir\\a_b.txt"},
        {255, true, "C:\\dir\\a_b.txt"},
        {14, false, ""},
        {1, false, ""},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.size);
        char out[256];
        memset(out, 'x', sizeof(out));
        EXPECT_EQ(JoinStrings(out, r.size, {"C:\\dir\\", "a_b", ".", "txt"}), r.fits);
        EXPECT_STREQ(out, r.expected);
        // Nothing is written at or past the size given.
        EXPECT_EQ(out[r.size], 'x');
    }
    char out[4] = {'x', 'x', 'x', 'x'};
    EXPECT_FALSE(JoinStrings(out, 0, {""}));
    EXPECT_EQ(out[0], 'x');
    EXPECT_TRUE(JoinStrings(out, 1, {"", ""}));
    EXPECT_STREQ(out, "");
}
