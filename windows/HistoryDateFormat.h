#pragma once

// The date and time of a history entry for people: the medium date and the
// short time of the user's locale and time zone, "Jan 5, 2025, 3:04 PM" in
// American English (ICU puts a narrow no-break space, U+202F, before "PM").
//
//   label->setText(QString::fromStdString(formatHistoryDate(entry.timestamp)));
//
// The timestamp is in seconds since 2001-01-01 00:00:00 UTC, as the store
// keeps it. The locale and time zone are ICU's defaults, which follow LANG
// and TZ; a timestamp ICU cannot format gives an empty text.

#include <string>

namespace windows {

std::string formatHistoryDate(double timestamp);

}  // namespace windows
