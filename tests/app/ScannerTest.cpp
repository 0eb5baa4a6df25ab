// Row-column scanning's steps: which targets are highlighted after each switch action, and what
// is chosen.
#include "app/Scanner.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Three groups: two of two members (targets 0,1 and 2,3), one of one (target 4). A target's
// number is its cell.
std::vector<ScanGroup> Groups() {
    return {{{nullptr, 0}, {nullptr, 1}}, {{nullptr, 2}, {nullptr, 3}}, {{nullptr, 4}}};
}

std::string Lit(const Scanner& s) {
    std::string out;
    for (const ScanTarget& t : s.Highlighted()) {
        out += std::to_string(t.cell);
    }
    return out.empty() ? "-" : out;
}

}  // namespace

TEST(Scanner, StepsThroughGroupsThenMembersAndGivesUpAfterItsRounds) {
    struct Case {
        const char* actions;  // a: advance, s: select
        int rounds;
        const char* lit;  // highlighted after each action, '|' between
        int chosen;       // the target chosen at the end, -1 for none
    };
    const Case cases[] = {
        // Groups step and wrap; two rounds of three groups and the scan is idle.
        {"aaaaaa", 2, "23|4|01|23|4|-", -1},
        {"aaa", 1, "23|4|-", -1},
        // A group opens on its first member; a member is chosen and the scan stops.
        {"sas", 2, "0|1|-", 1},
        // A group of one is chosen at once.
        {"aas", 2, "23|4|-", 4},
        // Members given up after their rounds go back to the groups, from the first.
        {"asaaaa", 2, "23|2|3|2|3|01", -1},
        {"asaa", 1, "23|2|3|01", -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.actions);
        Scanner scanner;
        scanner.Start(Groups(), c.rounds);
        EXPECT_EQ(Lit(scanner), "01");
        std::string lit;
        ScanTarget chosen;
        for (const char* a = c.actions; *a; ++a) {
            if (*a == 'a') {
                scanner.Advance();
            } else {
                scanner.Select(&chosen);
            }
            lit += (lit.empty() ? "" : "|") + Lit(scanner);
        }
        EXPECT_EQ(lit, c.lit);
        EXPECT_EQ(chosen.cell, c.chosen);
    }
}

TEST(Scanner, EmptyGroupsAreDroppedAndNoGroupsStayIdle) {
    Scanner scanner;
    scanner.Start({{}, {}}, 2);
    EXPECT_TRUE(scanner.IsIdle());
    ScanTarget chosen;
    EXPECT_EQ(scanner.Select(&chosen), Scanner::Selection::None);
    scanner.Start({{}, {{nullptr, 7}}}, 2);
    EXPECT_EQ(Lit(scanner), "7");
    EXPECT_EQ(scanner.Select(&chosen), Scanner::Selection::Chosen);
    EXPECT_EQ(chosen.cell, 7);
    EXPECT_TRUE(scanner.IsIdle());
}
