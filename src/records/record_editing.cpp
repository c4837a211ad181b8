#include "records/record_editing.h"

#include "data/query.h"

namespace korimo::records {

void toggleFlag(Query& records, const QString& fieldName)
{
    if (!records.isOpen() || records.rowCount() == 0)
        return;
    for (const QString& flag : {QStringLiteral("月经"), QStringLiteral("同房")}) {
        if (fieldName != flag)
            continue;
        records.edit();
        Field field = records.fieldByName(flag);
        const QString value = field.asText();
        if (value == kYes)
            field.setAsText(kNo);
        else if (value == kNo)
            field.setAsText(kYes);
    }
}

void saveRecord(Query& records)
{
    if (!records.isOpen() || records.rowCount() == 0)
        return;
    if (records.state() == Query::State::Browse)
        records.edit();
    records.post();
}

bool recordsReadOnly(qint64 currentCycleId, bool demonstration)
{
    return currentCycleId == 0 || demonstration;
}

} // namespace korimo::records
