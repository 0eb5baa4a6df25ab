#include "app/Scanner.h"

#include <algorithm>

void Scanner::Start(std::vector<ScanGroup> groups_, int rounds_) {
    groups = std::move(groups_);
    groups.erase(
        std::remove_if(groups.begin(), groups.end(), [](const ScanGroup& g) { return g.empty(); }),
        groups.end());
    rounds = std::max(rounds_, 1);
    group = member = roundsDone = 0;
    level = groups.empty() ? Level::Idle : Level::Groups;
}

void Scanner::Stop() {
    level = Level::Idle;
    groups.clear();
}

bool Scanner::Advance() {
    if (level == Level::Groups) {
        if (++group == static_cast<int>(groups.size())) {
            group = 0;
            if (++roundsDone >= rounds) {
                Stop();
                return false;
            }
        }
    } else if (level == Level::Members) {
        if (++member == static_cast<int>(groups[group].size())) {
            member = 0;
            if (++roundsDone >= rounds) {
                // Back to the groups, from the first.
                level = Level::Groups;
                group = roundsDone = 0;
            }
        }
    }
    return level != Level::Idle;
}

Scanner::Selection Scanner::Select(ScanTarget* chosen) {
    if (level == Level::Idle) {
        return Selection::None;
    }
    if (level == Level::Groups && groups[group].size() > 1) {
        level = Level::Members;
        member = roundsDone = 0;
        return Selection::Opened;
    }
    *chosen = level == Level::Groups ? groups[group][0] : groups[group][member];
    Stop();
    return Selection::Chosen;
}

std::vector<ScanTarget> Scanner::Highlighted() const {
    switch (level) {
        case Level::Groups:
            return groups[group];
        case Level::Members:
            return {groups[group][member]};
        default:
            return {};
    }
}
