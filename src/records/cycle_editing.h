#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace korimo {

class Connection;
class Query;

namespace records {

// Messages of the cycle commands.
inline const QString kEnterStartDate = QStringLiteral("请输入起始日期！");
inline const QString kEnterDays = QStringLiteral("请输入天数！");
inline const QString kTooManyDays = QStringLiteral("超过100天请拆分为多个周期，否则曲线不直观！");
inline const QString kDaysOutOfRange = QStringLiteral("天数必须在1到100之间！");
inline const QString kNothingToDelete = QStringLiteral("没有数据，无需删除！");
inline const QString kConfirmDelete = QStringLiteral("确定要删除吗，删除后数据无法恢复！");
inline const QString kDeleteFailed = QStringLiteral("删除失败！");

// What the cycle commands work on: the main window's connection and queries, and the cycle
// selection (which draws the current cycle and loads its days).
struct CycleContext {
    Connection& connection;
    Query& cycles;  // "select * from Comment"
    Query& records; // the drawn cycle's days
    Query& scratch;
    std::function<void()> selectCurrentCycle;
};

// The current cycle's id, 0 for a new row, an empty list or a list that is not open.
qint64 currentCycleId(Query& cycles);

// "新增周期": a new empty row at the end of the list, unless one is already pending. Typed
// changes of the current row are stored first, as typed.
void addCycle(Query& cycles);

// "保存周期": checks the current row, stores it, then gives the cycle exactly one day record for
// each of its days, dated from the start date, and draws it. False when a check refused it (the
// message was shown and nothing was stored).
bool saveCycle(QWidget* parent, const CycleContext& context);

// "删除周期": after the question, deletes the current cycle with its day records in one
// transaction, then shows the first cycle. A failure rolls everything back and says so.
void deleteCycle(QWidget* parent, const CycleContext& context);

// The cycles grid's own Ctrl+Delete: the grid's question, then the current cycle and its day
// records in one transaction, so no day record is ever left belonging to no cycle. Nothing is
// redrawn. A new row not stored yet is simply dropped.
void deleteCycleFromGrid(QWidget* parent, const CycleContext& context);

} // namespace records
} // namespace korimo
