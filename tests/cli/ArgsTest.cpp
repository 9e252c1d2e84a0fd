#include <gtest/gtest.h>

#include "CalendarTime.h"
#include "TimeArg.h"

using namespace nimbary;
using namespace nimbary::cli;

TEST(TimeArgTest, PeriodsAndTheirEnds) {
    struct Case {
        const char* text;
        bool ok;
        const char* from;  // as TimeArg::Format prints the first second
        const char* to;    // and the last
    } cases[] = {
        {"2024-03-05", true, "2024-03-05T00:00:00", "2024-03-05T23:59:59"},
        {"2024-03-05T12:00", true, "2024-03-05T12:00:00", "2024-03-05T12:00:59"},
        {"2024-03-05 12:00:30", true, "2024-03-05T12:00:30", "2024-03-05T12:00:30"},
        {"2000-01-01", true, "2000-01-01T00:00:00", "2000-01-01T23:59:59"},
        {"2024-02-29", true, "2024-02-29T00:00:00", "2024-02-29T23:59:59"},
        {"2023-02-29", false, "", ""},
        {"1999-12-31", false, "", ""},
        {"2024-3-5", false, "", ""},
        {"2024-03-05T12", false, "", ""},
        {"2024-03-05T12:00:", false, "", ""},
        {"2024-03-05T24:00", false, "", ""},
        {"2024-03-05x", false, "", ""},
        {"", false, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        uint32_t from = 0, to = 0;
        std::string error;
        EXPECT_EQ(TimeArg::Parse(c.text, false, from, error), c.ok);
        EXPECT_EQ(TimeArg::Parse(c.text, true, to, error), c.ok);
        if (!c.ok) {
            EXPECT_NE(error.find("is not a time"), std::string::npos);
            continue;
        }
        EXPECT_EQ(TimeArg::Format(from), c.from);
        EXPECT_EQ(TimeArg::Format(to), c.to);
    }
}
