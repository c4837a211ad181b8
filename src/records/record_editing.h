#pragma once

#include <QString>

namespace korimo {

class Query;

namespace records {

inline const QString kYes = QStringLiteral("√");
inline const QString kNo = QStringLiteral("－"); // full-width hyphen-minus, U+FF0D

// The click toggle of the flag columns: in the column 月经 or 同房 the current day's flag turns
// "√" into "－" and back; other text, the empty one included, stays as it is. Nothing is stored
// here (the grid stores the day when it is left). An empty or closed list is left alone: a row
// begun here would belong to no cycle.
void toggleFlag(Query& records, const QString& fieldName);

// "保存记录": stores the current day (an unchanged one is stored unchanged). Does nothing on an
// empty or closed list.
void saveRecord(Query& records);

// The records grid takes typing only while a stored cycle is current and the working data is on.
bool recordsReadOnly(qint64 currentCycleId, bool demonstration);

} // namespace records
} // namespace korimo
