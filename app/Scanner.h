// Row-column scanning, as communication devices do it: a highlight steps through groups of
// targets; selecting a group steps through its members from the first; selecting a member (or a
// group of one) hands it over and the scan goes idle, waiting for the switch again. A level
// stepped through `rounds` times without a selection gives up: the members go back to the
// groups, the groups go idle. Time and switches are the caller's.
#pragma once

#include <vector>

class Control;

// A control, or one cell of the pad (cell 0..15 of the pad control; -1 for the control itself).
struct ScanTarget {
    Control* control = nullptr;
    int cell = -1;
    bool operator==(const ScanTarget& o) const { return control == o.control && cell == o.cell; }
    bool operator!=(const ScanTarget& o) const { return !(*this == o); }
};
using ScanGroup = std::vector<ScanTarget>;

class Scanner {
public:
    enum class Level { Idle, Groups, Members };

    // The first group highlighted. Empty groups are dropped; with none left it stays idle.
    void Start(std::vector<ScanGroup> groups, int rounds);
    void Stop();
    // The highlight to the next group or member; false when the scan went idle.
    bool Advance();
    // The highlighted group opens, its first member highlighted; or the highlighted member (or
    // group of one) is chosen: it goes into `chosen` and the scan goes idle.
    enum class Selection { None, Opened, Chosen };
    Selection Select(ScanTarget* chosen);

    Level GetLevel() const { return level; }
    bool IsIdle() const { return level == Level::Idle; }
    // What the highlight covers: the group's members, or the one member.
    std::vector<ScanTarget> Highlighted() const;

private:
    std::vector<ScanGroup> groups;
    Level level = Level::Idle;
    int rounds = 1;
    int group = 0;
    int member = 0;
    int roundsDone = 0;
};
