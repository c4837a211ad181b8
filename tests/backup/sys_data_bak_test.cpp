#include "backup/backup_restore.h"
#include "backup/sys_data_bak.h"
#include "backup_fixture.h"
#include "data/connection_string.h"
#include "data/query.h"
#include "data/schema.h"
#include "scripted_dialogs.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

using namespace korimo;
using namespace korimo::backup;
using namespace korimo::testing;
using Kind = ScriptedDialogs::Kind;

namespace {

const QString kBackupDone = QStringLiteral("数据备份成功！");
const QString kBackupFailed =
    QStringLiteral("数据备份失败，请检查数据备份路径是否正确以及对该路径有可写入的权限！");
const QString kNoBackupFolder = QStringLiteral("请为备份数据指定位置！");
const QString kNoRestoreFile = QStringLiteral("请选择备份的数据路径！");
const QString kRestoreFileMissing = QStringLiteral("请选择的备份数据路径不存在，请重新选择！");
const QString kRestoreQuestion =
    QStringLiteral("恢复操作将替换现有的数据，现有的数据将全部丢失，确定要恢复吗？");
const QString kRestoreDone = QStringLiteral("数据恢复成功！请重新运行本系统！");
const QString kRestoreFailed = QStringLiteral(
    "数据恢复失败，请检查备份的数据路径是否正确以及是否其它电脑的本系统程序都已停止运行！");

const QStringList kOldNotes = {QStringLiteral("old 1"), QStringLiteral("old 2")};

class WindowTest : public ::testing::Test {
protected:
    WindowTest()
    {
        window = std::make_unique<TFrmSysDataBak>(folder, [this] { ++ends; });
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }

    void click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }
    void typeInto(QLineEdit* edit, const QString& text)
    {
        edit->clear();
        QTest::keyClicks(edit, text);
    }
    // The backup folder as the user would type it, with its final separator.
    QString bakFolder()
    {
        QDir(folder.path(QString())).mkdir(QStringLiteral("bak"));
        return folder.path(QStringLiteral("bak")) + QLatin1Char('/');
    }
    QString restoreSource(const QStringList& notes)
    {
        const QString path = folder.path(QStringLiteral("chosen.mdb"));
        makeDatabase(path, notes);
        return path;
    }
    QStringList messages() const { return dialogs.texts(Kind::Message); }
    // The working file as a byte-for-byte reference, everything committed in it.
    QByteArray workingBytes()
    {
        folder.flush();
        return readAll(folder.dataFile());
    }
    void expectWorkingFileKept(const QByteArray& before)
    {
        EXPECT_EQ(readAll(folder.dataFile()), before);
        EXPECT_TRUE(folder.conn.isConnected());
        EXPECT_EQ(folder.reopens, 1);
        EXPECT_EQ(ends, 0);
        EXPECT_TRUE(window->isVisible());
        EXPECT_FALSE(QFile::exists(keptCopyFor(folder.dataFile())));
        for (const QString& name : namesIn(folder.dataFolder()))
            EXPECT_FALSE(name.startsWith(QLatin1Char('.'))) << name.toStdString();
        // The program goes on with its data through the same connection.
        Query q(folder.conn);
        q.setSql(QStringLiteral("select * from Comment"));
        q.open();
        EXPECT_EQ(q.recordCount(), 2);
    }

    ScriptedDialogs dialogs;
    ProgramFolder folder;
    int ends = 0;
    std::unique_ptr<TFrmSysDataBak> window;
};

TEST_F(WindowTest, LayoutCaptionsAndTexts)
{
    EXPECT_EQ(window->windowTitle(), QStringLiteral("数据备份/恢复"));
    EXPECT_EQ(window->size(), QSize(460, 393));
    EXPECT_EQ(window->minimumSize(), window->maximumSize());
    EXPECT_EQ(window->font().family(), QStringLiteral("宋体"));
    EXPECT_EQ(window->font().pixelSize(), 12);

    const struct {
        QWidget* widget;
        const char* name;
        QWidget* parent;
        QRect geometry;
        QString text;
    } controls[] = {
        {window->GroupBox1, "GroupBox1", window.get(), {10, 8, 441, 185}, QStringLiteral("数据备份")},
        {window->Panel1, "Panel1", window->GroupBox1, {5, 17, 426, 161}, {}},
        {window->Edit1, "Edit1", window->Panel1, {16, 40, 375, 18}, {}},
        {window->Button1, "Button1", window->Panel1, {391, 39, 27, 21}, QStringLiteral("浏览")},
        {window->Label2, "Label2", window->Panel1, {16, 71, 396, window->Label2->height()}, {}},
        {window->Button2, "Button2", window->Panel1, {56, 120, 75, 25}, QStringLiteral("确定")},
        {window->Button3, "Button3", window->Panel1, {304, 120, 75, 25}, QStringLiteral("退出")},
        {window->GroupBox2, "GroupBox2", window.get(), {10, 200, 441, 185}, QStringLiteral("数据恢复")},
        {window->Panel2, "Panel2", window->GroupBox2, {11, 18, 420, 159}, {}},
        {window->Edit2, "Edit2", window->Panel2, {16, 40, 370, 18}, {}},
        {window->Button4, "Button4", window->Panel2, {386, 38, 27, 21}, QStringLiteral("浏览")},
        {window->Label4, "Label4", window->Panel2, {16, 69, 396, window->Label4->height()}, {}},
        {window->Button5, "Button5", window->Panel2, {48, 120, 75, 25}, QStringLiteral("确定")},
        {window->Button6, "Button6", window->Panel2, {296, 120, 75, 25}, QStringLiteral("退出")},
    };
    // The two notes show all of their text and stay clear of the buttons below them.
    for (auto [note, button] : {std::pair{window->Label2, window->Button2}, std::pair{window->Label4, window->Button5}}) {
        EXPECT_GE(note->height(), 39);
        EXPECT_GE(note->height(), note->heightForWidth(396)) << note->objectName().toStdString();
        EXPECT_LE(note->geometry().bottom(), button->geometry().top()) << note->objectName().toStdString();
    }
    for (const auto& c : controls) {
        EXPECT_EQ(c.widget->objectName(), QLatin1String(c.name));
        EXPECT_EQ(c.widget->parentWidget(), c.parent) << c.name;
        EXPECT_EQ(c.widget->geometry(), c.geometry) << c.name;
        if (auto* button = qobject_cast<QPushButton*>(c.widget)) {
            EXPECT_EQ(button->text(), c.text) << c.name;
        }
        if (auto* box = qobject_cast<QGroupBox*>(c.widget)) {
            EXPECT_EQ(box->title(), c.text) << c.name;
        }
    }
    EXPECT_EQ(window->Label1->pos(), QPoint(16, 16));
    EXPECT_EQ(window->Label1->text(), QStringLiteral("选择数据备份路径"));
    EXPECT_EQ(window->Label3->pos(), QPoint(16, 16));
    EXPECT_EQ(window->Label3->text(), QStringLiteral("选择备份的数据"));
    EXPECT_TRUE(window->Label2->text().startsWith(QStringLiteral("数据备份是指为保护本系统数据的安全性")));
    EXPECT_TRUE(window->Label2->text().endsWith(QStringLiteral("数据备份应由系统管理员定期进行。")));
    EXPECT_TRUE(window->Label4->text().startsWith(QStringLiteral("数据恢复是指本系统的数据在遭到破坏时")));
    EXPECT_TRUE(window->Label4->text().endsWith(QStringLiteral("所以一定在不得已时才执行本操作。")));
    EXPECT_TRUE(window->Label2->wordWrap());
    EXPECT_TRUE(window->Label4->wordWrap());

    for (QWidget* w : {static_cast<QWidget*>(window->Label1), static_cast<QWidget*>(window->Label4),
                       static_cast<QWidget*>(window->Button2), static_cast<QWidget*>(window->Button6)}) {
        EXPECT_EQ(w->font().family(), QStringLiteral("Roman"));
        EXPECT_EQ(w->font().pixelSize(), 11);
    }
    for (QLineEdit* edit : {window->Edit1, window->Edit2}) {
        EXPECT_FALSE(edit->hasFrame());
        EXPECT_FALSE(edit->isReadOnly());
        EXPECT_TRUE(edit->text().isEmpty());
    }
}

TEST_F(WindowTest, PanelsAreLightBlueAndTheRestoreNoteIsRed)
{
    // Also under the program's skin, which paints another frame named Panel1 in its own colour.
    const QString skin = qApp->styleSheet();
    qApp->setStyleSheet(QStringLiteral("QFrame#Panel1 { background-color: #eef3f8; }"));
    const QColor blue(185, 209, 234);
    for (QWidget* panel : {static_cast<QWidget*>(window->Panel1), static_cast<QWidget*>(window->Panel2)}) {
        const QImage image = panel->grab().toImage();
        // Below the buttons: nothing but the panel's own background.
        EXPECT_EQ(QColor(image.pixel(200, 152)), blue) << panel->objectName().toStdString();
    }
    const QImage note = window->Label4->grab().toImage();
    bool red = false;
    for (int y = 0; y < note.height() && !red; ++y)
        for (int x = 0; x < note.width() && !red; ++x) {
            const QColor c(note.pixel(x, y));
            red = c.red() > 200 && c.green() < 80 && c.blue() < 80;
        }
    EXPECT_TRUE(red);
    qApp->setStyleSheet(skin);
}

TEST_F(WindowTest, FolderChooserTakesTheNameUpToTheMarker)
{
    const struct {
        std::optional<QString> chosen;
        QString edit1;
    } cases[] = {
        {QStringLiteral("/home/u/bak/当前路径"), QStringLiteral("/home/u/bak/")},
        {QStringLiteral("/home/u/bak/备份"), QString()},
        {std::nullopt, QStringLiteral("unchanged")},
        {QString(), QStringLiteral("unchanged")},
    };
    for (const auto& c : cases) {
        window->Edit1->setText(QStringLiteral("unchanged"));
        dialogs.clear();
        dialogs.choose(c.chosen);
        click(window->Button1);
        EXPECT_EQ(window->Edit1->text(), c.edit1) << c.chosen.value_or(QStringLiteral("<cancel>")).toStdString();
        ASSERT_EQ(dialogs.shown().size(), 1u);
        EXPECT_EQ(dialogs.shown()[0].kind, Kind::Open);
        EXPECT_EQ(dialogs.shown()[0].text, QStringLiteral("路径|ljf.ljf"));
        EXPECT_EQ(dialogs.shown()[0].fileName, QStringLiteral("当前路径"));
    }
}

TEST_F(WindowTest, AnotherNameInTheFolderChooserLeadsToTheFolderQuestion)
{
    dialogs.choose(folder.path(QStringLiteral("elsewhere.txt")));
    click(window->Button1);
    click(window->Button2);
    EXPECT_EQ(messages(), QStringList(kNoBackupFolder));
    EXPECT_EQ(folder.flushes, 0);
}

TEST_F(WindowTest, BackupFileChooser)
{
    dialogs.choose(QStringLiteral("/mnt/usb/Data.mdb"));
    click(window->Button4);
    EXPECT_EQ(window->Edit2->text(), QStringLiteral("/mnt/usb/Data.mdb"));
    ASSERT_EQ(dialogs.shown().size(), 1u);
    EXPECT_EQ(dialogs.shown()[0].kind, Kind::Open);
    EXPECT_EQ(dialogs.shown()[0].text, QStringLiteral("数据库文件|*.mdb"));

    dialogs.choose(std::nullopt);
    click(window->Button4);
    dialogs.choose(QString());
    click(window->Button4);
    EXPECT_EQ(window->Edit2->text(), QStringLiteral("/mnt/usb/Data.mdb"));
}

TEST_F(WindowTest, BackupWithoutFolderAsksForOne)
{
    click(window->Button2);
    EXPECT_EQ(dialogs.texts(), QStringList(kNoBackupFolder));
    EXPECT_TRUE(window->isVisible());
}

TEST_F(WindowTest, BackupWithoutWorkingFileDoesNothing)
{
    const QString folderText = bakFolder();
    window->Edit1->setText(folderText);
    folder.close();
    QFile::remove(folder.dataFile());
    click(window->Button2);
    EXPECT_TRUE(dialogs.shown().empty());
    EXPECT_FALSE(QFile::exists(folderText + QStringLiteral("Data.mdb")));
}

TEST_F(WindowTest, BackupCopiesTheWorkingDatabase)
{
    const QString folderText = bakFolder();
    typeInto(window->Edit1, folderText);
    click(window->Button2);
    EXPECT_EQ(dialogs.texts(), QStringList(kBackupDone));
    EXPECT_EQ(notesIn(folderText + QStringLiteral("Data.mdb")), kOldNotes);
    EXPECT_EQ(namesIn(folderText), QStringList(QStringLiteral("Data.mdb")));
    EXPECT_TRUE(window->isVisible());
}

TEST_F(WindowTest, SecondBackupIntoTheSameFolderFailsAndKeepsTheFirst)
{
    const QString folderText = bakFolder();
    window->Edit1->setText(folderText);
    click(window->Button2);
    const QByteArray first = readAll(folderText + QStringLiteral("Data.mdb"));
    folder.conn.execute(QStringLiteral("insert into Comment (说明) values ('later')"));

    click(window->Button2);
    EXPECT_EQ(dialogs.texts(), QStringList({kBackupDone, kBackupFailed}));
    EXPECT_EQ(readAll(folderText + QStringLiteral("Data.mdb")), first);
    EXPECT_EQ(namesIn(folderText), QStringList(QStringLiteral("Data.mdb")));
}

TEST_F(WindowTest, FolderWithoutFinalSeparatorGetsTheNameAppended)
{
    const QString folderText = folder.path(QStringLiteral("bak"));
    typeInto(window->Edit1, folderText);
    click(window->Button2);
    EXPECT_EQ(dialogs.texts(), QStringList(kBackupDone));
    EXPECT_EQ(notesIn(folder.path(QStringLiteral("bakData.mdb"))), kOldNotes);
}

TEST_F(WindowTest, BackupIntoAMissingFolderFails)
{
    window->Edit1->setText(folder.path(QStringLiteral("no/such/")));
    click(window->Button2);
    EXPECT_EQ(dialogs.texts(), QStringList(kBackupFailed));
}

TEST_F(WindowTest, BackupWhileARecordIsBeingEditedHoldsEveryStoredRow)
{
    // Rows posted through the main window's kind of query stay in the write-ahead log until
    // something checkpoints them; the copy must hold them all the same.
    Query q(folder.conn);
    q.setSql(QStringLiteral("select * from Comment"));
    q.open();
    for (int i = 1; i <= 5; ++i) {
        q.append();
        q.fieldByName(QStringLiteral("说明")).setAsText(QStringLiteral("posted %1").arg(i));
        q.fieldByName(QStringLiteral("天数")).setAsInteger(20 + i);
        q.post();
    }
    q.first();
    q.edit();
    q.fieldByName(QStringLiteral("说明")).setAsText(QStringLiteral("being typed"));
    ASSERT_EQ(q.state(), Query::State::Edit);

    const QString folderText = bakFolder();
    window->Edit1->setText(folderText);
    click(window->Button2);
    EXPECT_EQ(dialogs.texts(), QStringList(kBackupDone));
    EXPECT_EQ(q.state(), Query::State::Edit);
    EXPECT_EQ(notesIn(folderText + QStringLiteral("Data.mdb")),
              kOldNotes + QStringList({QStringLiteral("posted 1"), QStringLiteral("posted 2"),
                                       QStringLiteral("posted 3"), QStringLiteral("posted 4"),
                                       QStringLiteral("posted 5")}));
    q.cancel();
}

TEST_F(WindowTest, RestoreWithoutFileAsksForOne)
{
    click(window->Button5);
    EXPECT_EQ(dialogs.texts(), QStringList(kNoRestoreFile));
    EXPECT_EQ(folder.closes, 0);
}

TEST_F(WindowTest, RestoreWithoutWorkingFileDoesNothing)
{
    window->Edit2->setText(restoreSource({QStringLiteral("x")}));
    folder.close();
    QFile::remove(folder.dataFile());
    click(window->Button5);
    EXPECT_TRUE(dialogs.shown().empty());
    EXPECT_FALSE(QFile::exists(folder.dataFile()));
}

TEST_F(WindowTest, RestoreOfAMissingFileAsksAgain)
{
    typeInto(window->Edit2, folder.path(QStringLiteral("gone.mdb")));
    click(window->Button5);
    EXPECT_EQ(dialogs.texts(), QStringList(kRestoreFileMissing));
    EXPECT_EQ(folder.closes, 0);
}

TEST_F(WindowTest, RestoreAnsweredNoChangesNothing)
{
    const QByteArray before = workingBytes();
    window->Edit2->setText(restoreSource({QStringLiteral("x")}));
    dialogs.answer(false);
    click(window->Button5);
    ASSERT_EQ(dialogs.shown().size(), 1u);
    EXPECT_EQ(dialogs.shown()[0].kind, Kind::Warning);
    EXPECT_EQ(dialogs.shown()[0].title, QStringLiteral("Warning"));
    EXPECT_EQ(dialogs.shown()[0].text, kRestoreQuestion);
    EXPECT_EQ(folder.closes, 0);
    EXPECT_TRUE(folder.conn.isConnected());
    EXPECT_EQ(readAll(folder.dataFile()), before);
    EXPECT_EQ(ends, 0);
}

TEST_F(WindowTest, RestoreOfSomethingElseFailsAndKeepsTheWorkingFile)
{
    const struct {
        const char* what;
        std::function<void(const QString&)> make;
    } cases[] = {
        {"text file", [](const QString& p) { writeAll(p, "Comment Heat\n"); }},
        {"database without the tables",
         [](const QString& p) {
             Connection c;
             createDatabaseFile(p, QStringLiteral("tundrave"));
             c.setConnectionString(BuildConnectionString(p));
             c.execute(QStringLiteral("drop table Heat"));
             c.disconnect();
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const QString source = folder.path(QStringLiteral("case.mdb"));
        QFile::remove(source);
        c.make(source);
        const QByteArray before = workingBytes();
        folder.reopens = 0;
        dialogs.clear();
        window->Edit2->setText(source);
        dialogs.answer(true);
        click(window->Button5);
        EXPECT_EQ(dialogs.texts(), QStringList({kRestoreQuestion, kRestoreFailed}));
        expectWorkingFileKept(before);
    }
}

TEST_F(WindowTest, RestoreWhoseCopyFailsPartWayKeepsTheWorkingFile)
{
    const QByteArray before = workingBytes();
    window->Edit2->setText(restoreSource({QStringLiteral("x")}));
    FailingWriter writer(2048);
    dialogs.answer(true);
    click(window->Button5);
    EXPECT_TRUE(writer.failed);
    EXPECT_EQ(dialogs.texts(), QStringList({kRestoreQuestion, kRestoreFailed}));
    expectWorkingFileKept(before);
}

TEST_F(WindowTest, RestoreThatCannotReopenSaysBoth)
{
    writeAll(folder.path(QStringLiteral("text.mdb")), "text");
    window->Edit2->setText(folder.path(QStringLiteral("text.mdb")));
    folder.fail_reopen = true;
    dialogs.answer(true);
    click(window->Button5);
    EXPECT_EQ(dialogs.texts(), QStringList({kRestoreQuestion, kRestoreFailed, QStringLiteral("Could not reopen")}));
    EXPECT_EQ(dialogs.shown().back().kind, Kind::Error);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(ends, 0);
}

TEST_F(WindowTest, SuccessfulRestoreEndsTheProgram)
{
    const QByteArray before = workingBytes();
    window->Edit2->setText(restoreSource({QStringLiteral("restored 1"), QStringLiteral("restored 2"),
                                          QStringLiteral("restored 3")}));
    dialogs.answer(true);
    click(window->Button5);
    EXPECT_EQ(dialogs.texts(), QStringList({kRestoreQuestion, kRestoreDone}));
    EXPECT_EQ(ends, 1);
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(folder.conn.isConnected());
    // The replaced file is kept beside it, exactly as it was.
    EXPECT_EQ(readAll(keptCopyFor(folder.dataFile())), before);
    // The next start opens the restored data.
    Connection next;
    next.setConnectionString(BuildConnectionString(folder.dataFile()));
    next.connect();
    Query q(next);
    q.setSql(QStringLiteral("select * from Comment order by 编号"));
    q.open();
    ASSERT_EQ(q.recordCount(), 3);
    EXPECT_EQ(q.fieldByName(QStringLiteral("说明")).asText(), QStringLiteral("restored 1"));
    q.close();
    next.disconnect();
    EXPECT_EQ(namesIn(folder.dataFolder()),
              QStringList({QStringLiteral("Data.mdb"), QStringLiteral("Data.mdb.bak")}));
}

TEST_F(WindowTest, BothExitButtonsCloseTheWindow)
{
    for (QPushButton* exit : {window->Button3, window->Button6}) {
        window->show();
        ASSERT_TRUE(window->isVisible());
        click(exit);
        EXPECT_FALSE(window->isVisible()) << exit->objectName().toStdString();
    }
    EXPECT_TRUE(dialogs.shown().empty());
}

TEST(ToolButton15Command, ShowsAFreshModalWindowEachTime)
{
    ScriptedDialogs dialogs;
    ProgramFolder folder;
    QStringList seen;
    for (int use = 0; use < 2; ++use) {
        // Drives the modal loop from inside: looks at the window, leaves text behind, closes it.
        QTimer::singleShot(0, [&] {
            auto* window = qobject_cast<TFrmSysDataBak*>(QApplication::activeModalWidget());
            ASSERT_NE(window, nullptr);
            seen << window->Edit1->text() + QLatin1Char('|') + window->Edit2->text();
            window->Edit1->setText(QStringLiteral("left behind"));
            window->Edit2->setText(QStringLiteral("left behind"));
            QTest::mouseClick(window->Button3, Qt::LeftButton);
        });
        ToolButton15Command(nullptr, folder, [] {});
    }
    EXPECT_EQ(seen, QStringList({QStringLiteral("|"), QStringLiteral("|")}));
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

} // namespace
