#include "app/main_window.h"
#include "backup/sys_data_bak.h"
#include "chart/chart.h"
#include "data/connection.h"
#include "data/connection_string.h"
#include "data/query.h"
#include "program_folder.h"
#include "scripted_dialogs.h"
#include "window_driver.h"

#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <functional>

using namespace korimo;
using korimo::testing::ProgramFolder;
using korimo::testing::ScriptedDialogs;
using korimo::testing::TestDay;
using korimo::testing::clickCell;
using korimo::testing::startProgram;

namespace {

// Clicks the toolbar button and acts on the backup window while its modal display runs.
void withBackupWindow(TFrm_Main& w, const std::function<void(backup::TFrmSysDataBak&)>& act)
{
    bool acted = false;
    QTimer::singleShot(0, [&] {
        auto* window = qobject_cast<backup::TFrmSysDataBak*>(QApplication::activeModalWidget());
        ASSERT_NE(window, nullptr);
        act(*window);
        acted = true;
        if (window->isVisible())
            window->close();
    });
    QTest::mouseClick(w.ToolButton15, Qt::LeftButton);
    EXPECT_TRUE(acted);
}

int rowsIn(const QString& file, const QString& sql)
{
    Connection conn;
    conn.setConnectionString(BuildConnectionString(file));
    Query q(conn);
    q.setSql(sql);
    q.open();
    return q.recordCount();
}

} // namespace

TEST(BackupFromTheMainWindow, CopiesEveryStoredRowWhileARecordIsBeingEdited)
{
    ProgramFolder folder;
    folder.addCycle(QDate(2010, 1, 1), 28, QStringLiteral("a"), {TestDay(36.5)});
    ScriptedDialogs dialogs;
    auto w = startProgram(folder);
    // Days stored through the window, one more change still pending in the records grid.
    w->Q2->first();
    w->Q2->fieldByName(QStringLiteral("备注")).setAsText(QStringLiteral("stored"));
    w->Q2->next();
    w->Q2->fieldByName(QStringLiteral("备注")).setAsText(QStringLiteral("pending"));
    ASSERT_EQ(w->Q2->state(), Query::State::Edit);

    QTemporaryDir target;
    withBackupWindow(*w, [&](backup::TFrmSysDataBak& window) {
        window.Edit1->setText(target.path() + QLatin1Char('/'));
        QTest::mouseClick(window.Button2, Qt::LeftButton);
    });
    EXPECT_EQ(dialogs.texts(ScriptedDialogs::Kind::Message), QStringList{QStringLiteral("数据备份成功！")});
    const QString copy = target.filePath(QStringLiteral("Data.mdb"));
    EXPECT_EQ(rowsIn(copy, QStringLiteral("select * from Heat")), 28);
    EXPECT_EQ(rowsIn(copy, QStringLiteral("select * from Heat where 备注='stored'")), 1);
    EXPECT_EQ(rowsIn(copy, QStringLiteral("select * from Comment")), 1);
}

TEST(RestoreFromTheMainWindow, EndsTheProgramAndTheNextStartOpensTheRestoredData)
{
    ProgramFolder backupSource;
    backupSource.addCycle(QDate(2009, 5, 1), 30, QStringLiteral("from the backup"));
    ProgramFolder folder;
    folder.addCycle(QDate(2010, 1, 1), 28, QStringLiteral("current"));
    ScriptedDialogs dialogs;
    int ended = 0;
    {
        auto w = startProgram(folder);
        w->EndProgram = [&] { ++ended; };
        dialogs.answer(true); // the warning question
        withBackupWindow(*w, [&](backup::TFrmSysDataBak& window) {
            window.Edit2->setText(backupSource.dataFile());
            QTest::mouseClick(window.Button5, Qt::LeftButton);
        });
        EXPECT_EQ(dialogs.texts(ScriptedDialogs::Kind::Message),
                  QStringList{QStringLiteral("数据恢复成功！请重新运行本系统！")});
        EXPECT_EQ(ended, 1);
    }
    auto next = startProgram(folder);
    EXPECT_EQ(next->Q1->fieldByName(QStringLiteral("说明")).asText(), QStringLiteral("from the backup"));
    EXPECT_EQ(next->Q2->recordCount(), 30);
    EXPECT_TRUE(QFile::exists(folder.dataFile() + QStringLiteral(".bak")));
}

TEST(RestoreFromTheMainWindow, AFailedRestoreKeepsTheProgramRunningOnItsData)
{
    ProgramFolder folder;
    folder.addCycle(QDate(2010, 1, 1), 28, QStringLiteral("current"));
    QTemporaryDir other;
    const QString notADatabase = other.filePath(QStringLiteral("x.mdb"));
    {
        QFile f(notADatabase);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("not a database at all");
    }
    ScriptedDialogs dialogs;
    auto w = startProgram(folder);
    int ended = 0;
    w->EndProgram = [&] { ++ended; };
    dialogs.answer(true);
    withBackupWindow(*w, [&](backup::TFrmSysDataBak& window) {
        window.Edit2->setText(notADatabase);
        QTest::mouseClick(window.Button5, Qt::LeftButton);
    });
    EXPECT_EQ(ended, 0);
    EXPECT_EQ(dialogs.texts(ScriptedDialogs::Kind::Message).constLast(),
              QStringLiteral("数据恢复失败，请检查备份的数据路径是否正确以及是否其它电脑的本系统程序都已停止运行！"));
    EXPECT_TRUE(w->Conn.isConnected());
    EXPECT_EQ(w->Q1->fieldByName(QStringLiteral("说明")).asText(), QStringLiteral("current"));
    EXPECT_EQ(w->Q2->recordCount(), 28);
}
