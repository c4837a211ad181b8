#include "backup/sys_data_bak.h"

#include "backup/backup_restore.h"
#include "platform/dialogs.h"

#include <QFileInfo>
#include <QFont>
#include <QFrame>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

#include <algorithm>
#include <exception>

namespace korimo::backup {
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

const QString kLabel2Text = QStringLiteral(
    "数据备份是指为保护本系统数据的安全性，将本系统的数据在本系统之外的某个位置做一个备份，"
    "在计算机系统或本系统遭到破坏时，可以从备份中恢复本系统的数据。数据备份应由系统管理员定期进行。");
const QString kLabel4Text = QStringLiteral(
    "数据恢复是指本系统的数据在遭到破坏时，从本系统之外的备份数据恢复本系统数据。"
    "数据恢复后本系统数据恢复到备份时的数据，所有在备份后做的修改将全部丢失。"
    "所以一定在不得已时才执行本操作。");

// The panels carry the gradient colour of an active caption; the window's own sheet wins over
// the application's skin, which paints frames named Panel1 in its own colour.
const QString kSheet = QStringLiteral(
    "QFrame#Panel1, QFrame#Panel2 { background-color: rgb(185, 209, 234); }"
    "QLabel#Label4 { color: red; }");

// Labels and buttons inside the panels are set smaller than the window.
QFont panelFont()
{
    QFont font(QStringLiteral("Roman"));
    font.setPixelSize(11);
    return font;
}

template <class W>
W* place(W* widget, const char* name, int left, int top, int width, int height)
{
    widget->setObjectName(QLatin1String(name));
    widget->setGeometry(left, top, width, height);
    return widget;
}

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, int left, int top)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setFont(panelFont());
    label->move(left, top);
    label->adjustSize();
    return label;
}

QLabel* makeNote(QWidget* parent, const char* name, const QString& text, int left, int top)
{
    auto* label = place(new QLabel(text, parent), name, left, top, 396, 39);
    label->setFont(panelFont());
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // 39 pixels hold three lines of an 11-pixel Latin face; the CJK faces that actually draw the
    // text need a little more line spacing. Grow into the free space above the buttons rather than
    // cut the last line off.
    label->resize(396, std::max(39, label->heightForWidth(396)));
    return label;
}

QPushButton* makeButton(QWidget* parent, const char* name, const QString& text, int left, int top,
                        int width, int height)
{
    auto* button = place(new QPushButton(text, parent), name, left, top, width, height);
    button->setFont(panelFont());
    button->setAutoDefault(false);
    return button;
}

QLineEdit* makeEdit(QWidget* parent, const char* name, int left, int top, int width)
{
    auto* edit = place(new QLineEdit(parent), name, left, top, width, 18);
    edit->setFrame(false);
    return edit;
}

} // namespace

const QString TFrmSysDataBak::kOpenDialog1Filter = QStringLiteral("路径|ljf.ljf");
const QString TFrmSysDataBak::kOpenDialog1FileName = kFolderMarker;
const QString TFrmSysDataBak::kOpenDialog2Filter = QStringLiteral("数据库文件|*.mdb");

TFrmSysDataBak::TFrmSysDataBak(WorkingDatabase& db, std::function<void()> endProgram,
                               QWidget* parent)
    : QDialog(parent), db_(db), end_program_(std::move(endProgram))
{
    setObjectName(QStringLiteral("FrmSysDataBak"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowCloseButtonHint);
    setWindowTitle(QStringLiteral("数据备份/恢复"));
    QFont face(QStringLiteral("宋体"));
    face.setPixelSize(12);
    setFont(face);
    setFixedSize(460, 393);
    setStyleSheet(kSheet);

    GroupBox1 = place(new QGroupBox(QStringLiteral("数据备份"), this), "GroupBox1", 10, 8, 441, 185);
    Panel1 = place(new QFrame(GroupBox1), "Panel1", 5, 17, 426, 161);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Label1 = makeLabel(Panel1, "Label1", QStringLiteral("选择数据备份路径"), 16, 16);
    Edit1 = makeEdit(Panel1, "Edit1", 16, 40, 375);
    Button1 = makeButton(Panel1, "Button1", QStringLiteral("浏览"), 391, 39, 27, 21);
    Label2 = makeNote(Panel1, "Label2", kLabel2Text, 16, 71);
    Button2 = makeButton(Panel1, "Button2", QStringLiteral("确定"), 56, 120, 75, 25);
    Button3 = makeButton(Panel1, "Button3", QStringLiteral("退出"), 304, 120, 75, 25);

    GroupBox2 = place(new QGroupBox(QStringLiteral("数据恢复"), this), "GroupBox2", 10, 200, 441, 185);
    Panel2 = place(new QFrame(GroupBox2), "Panel2", 11, 18, 420, 159);
    Panel2->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Label3 = makeLabel(Panel2, "Label3", QStringLiteral("选择备份的数据"), 16, 16);
    Edit2 = makeEdit(Panel2, "Edit2", 16, 40, 370);
    Button4 = makeButton(Panel2, "Button4", QStringLiteral("浏览"), 386, 38, 27, 21);
    Label4 = makeNote(Panel2, "Label4", kLabel4Text, 16, 69);
    Button5 = makeButton(Panel2, "Button5", QStringLiteral("确定"), 48, 120, 75, 25);
    Button6 = makeButton(Panel2, "Button6", QStringLiteral("退出"), 296, 120, 75, 25);

    on(Button1, &TFrmSysDataBak::Button1Click);
    on(Button2, &TFrmSysDataBak::Button2Click);
    on(Button3, &TFrmSysDataBak::Button3Click);
    on(Button4, &TFrmSysDataBak::Button4Click);
    on(Button5, &TFrmSysDataBak::Button5Click);
    on(Button6, &TFrmSysDataBak::Button6Click);

    // Centred on the desktop, not on the main window.
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TFrmSysDataBak::on(QPushButton* button, void (TFrmSysDataBak::*handler)())
{
    connect(button, &QPushButton::clicked, this, [this, handler] {
        // No exception may cross the event loop: an error goes to the error box and the window
        // stays open.
        try {
            (this->*handler)();
        } catch (const std::exception& e) {
            platform::dialogs().error(this, QString::fromUtf8(e.what()));
        }
    });
}

void TFrmSysDataBak::Button1Click()
{
    const std::optional<QString> chosen =
        platform::dialogs().openFile(this, kOpenDialog1Filter, kOpenDialog1FileName);
    if (!chosen.has_value() || chosen->isEmpty())
        return;
    Edit1->setText(backupFolderFromChosenName(*chosen));
}

void TFrmSysDataBak::Button2Click()
{
    const QString backupFolder = Edit1->text();
    if (backupFolder.isEmpty()) {
        platform::dialogs().message(this, kNoBackupFolder);
        return;
    }
    if (!QFileInfo(db_.dataFile()).isFile())
        return;
    const bool done = backupDatabase(db_, backupTargetFor(backupFolder));
    platform::dialogs().message(this, done ? kBackupDone : kBackupFailed);
}

void TFrmSysDataBak::Button3Click()
{
    close();
}

void TFrmSysDataBak::Button4Click()
{
    const std::optional<QString> chosen =
        platform::dialogs().openFile(this, kOpenDialog2Filter, QString());
    if (chosen.has_value() && !chosen->isEmpty())
        Edit2->setText(*chosen);
}

void TFrmSysDataBak::Button5Click()
{
    const QString source = Edit2->text();
    if (source.isEmpty()) {
        platform::dialogs().message(this, kNoRestoreFile);
        return;
    }
    if (!QFileInfo(db_.dataFile()).isFile())
        return;
    if (!QFileInfo(source).isFile()) {
        platform::dialogs().message(this, kRestoreFileMissing);
        return;
    }
    if (!platform::dialogs().warningQuestion(this, kRestoreQuestion))
        return;

    bool done = false;
    try {
        done = restoreDatabase(db_, source);
    } catch (...) {
        // The restore failed and the connection could not be opened again: say the first, and
        // let the error box say the second.
        platform::dialogs().message(this, kRestoreFailed);
        throw;
    }
    if (!done) {
        platform::dialogs().message(this, kRestoreFailed);
        return;
    }
    platform::dialogs().message(this, kRestoreDone);
    if (end_program_)
        end_program_();
    close();
}

void TFrmSysDataBak::Button6Click()
{
    close();
}

void ToolButton15Command(QWidget* parent, WorkingDatabase& db, std::function<void()> endProgram)
{
    // A fresh window on every use: nothing is kept from the last one.
    TFrmSysDataBak window(db, std::move(endProgram), parent);
    window.exec();
}

} // namespace korimo::backup
