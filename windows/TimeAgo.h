#pragma once

// The age of a history entry as its row shows it: "Just now", "5m ago",
// "23h ago", "3d ago". Both times are seconds since the same origin.
//
//   row.age = timeAgo(clock.nowSinceReferenceDate(), entry.timestamp);
//
// Whole minutes, truncated: under a minute (and any date in the future)
// is "Just now"; days are the largest unit. A date that is not a number
// reads as "Just now", and one too far past for a count of minutes is shown
// at the largest count, so a damaged store never breaks the list.

#include <string>

namespace windows {

std::string timeAgo(double now, double date);

}  // namespace windows
