#include "records/cycle_editing.h"

#include "data/connection.h"
#include "data/error.h"
#include "data/query.h"
#include "platform/dialogs.h"

namespace korimo::records {
namespace {

const QString kId = QStringLiteral("编号");
const QString kStart = QStringLiteral("起始日期");
const QString kDays = QStringLiteral("天数");

// Runs `work` inside a transaction: committed when it returns, rolled back when it throws.
template <class F>
void inTransaction(Connection& connection, F&& work)
{
    connection.beginTrans();
    try {
        work();
        connection.commitTrans();
    } catch (...) {
        if (connection.inTransaction())
            connection.rollbackTrans();
        throw;
    }
}

// Deletes the current cycle's day records and the cycle row in one transaction. On failure
// everything is rolled back and the error passed on.
void removeCycleWithDays(const CycleContext& c)
{
    const QString id = c.cycles.fieldByName(kId).asText();
    const int rowsBefore = c.cycles.rowCount();
    try {
        inTransaction(c.connection, [&] {
            c.scratch.close();
            c.scratch.setSql(QStringLiteral("delete * from Heat where 编号=") + id);
            c.scratch.execSql();
            c.cycles.remove();
        });
    } catch (...) {
        // The row may already have left the list when the commit failed; the database has it
        // back after the rollback, so the list must show it again.
        if (c.cycles.rowCount() != rowsBefore)
            c.cycles.requery();
        throw;
    }
}

} // namespace

qint64 currentCycleId(Query& cycles)
{
    if (!cycles.isOpen() || cycles.fieldIndex(kId) < 0)
        return 0;
    return cycles.fieldByName(kId).asInteger();
}

void addCycle(Query& cycles)
{
    if (cycles.state() == Query::State::Insert)
        return;
    cycles.append();
}

bool saveCycle(QWidget* parent, const CycleContext& c)
{
    Query& cycles = c.cycles;
    auto& dialogs = platform::dialogs();
    if (cycles.fieldByName(kStart).asText().isEmpty()) {
        dialogs.message(parent, kEnterStartDate);
        return false;
    }
    const qint64 typedDays = cycles.fieldByName(kDays).asInteger();
    if (typedDays == 0) {
        dialogs.message(parent, kEnterDays);
        return false;
    }
    if (typedDays > 100) {
        dialogs.message(parent, kTooManyDays);
        return false;
    }
    // A negative length would store the cycle and then delete all of its day records.
    if (typedDays < 0) {
        dialogs.message(parent, kDaysOutOfRange);
        return false;
    }

    if (cycles.state() == Query::State::Browse)
        cycles.edit();
    cycles.post();

    const qint64 days = cycles.fieldByName(kDays).asInteger();
    const qint64 id = cycles.fieldByName(kId).asInteger();
    const double start = cycles.fieldByName(kStart).asDateTime();
    const QString idText = QString::number(id);

    Query& scratch = c.scratch;
    scratch.close();
    scratch.setSql(QStringLiteral("select * from Heat where 编号=") + idText);
    scratch.open();
    for (qint64 d = 1; d <= days; ++d) {
        if (scratch.locate(QStringLiteral("编号;序号"), {id, d}))
            scratch.edit();
        else
            scratch.append();
        scratch.fieldByName(kId).setAsInteger(id);
        scratch.fieldByName(QStringLiteral("序号")).setAsInteger(d);
        scratch.fieldByName(QStringLiteral("日期")).setAsDateTime(start + static_cast<double>(d - 1));
        scratch.post();
    }
    scratch.close();
    scratch.setSql(QStringLiteral("delete * from Heat where 编号=") + idText + QStringLiteral(" and 序号>")
                   + QString::number(days));
    scratch.execSql();

    c.selectCurrentCycle();
    if (c.records.isOpen())
        c.records.requery();
    return true;
}

void deleteCycle(QWidget* parent, const CycleContext& c)
{
    auto& dialogs = platform::dialogs();
    if (currentCycleId(c.cycles) == 0) {
        dialogs.message(parent, kNothingToDelete);
        return;
    }
    if (!dialogs.confirm(parent, kConfirmDelete))
        return;
    try {
        removeCycleWithDays(c);
    } catch (const std::exception&) {
        dialogs.message(parent, kDeleteFailed);
        return;
    }
    c.cycles.requery();
    if (c.records.isOpen())
        c.records.requery();
    c.selectCurrentCycle();
}

void deleteCycleFromGrid(QWidget* parent, const CycleContext& c)
{
    if (!c.cycles.isOpen() || c.cycles.rowCount() == 0)
        return;
    if (!platform::dialogs().confirmOkCancel(parent, QStringLiteral("Delete record?")))
        return;
    if (c.cycles.state() == Query::State::Insert) {
        c.cycles.remove(); // a row never stored has no day records
        return;
    }
    removeCycleWithDays(c);
}

} // namespace korimo::records
