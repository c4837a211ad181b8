#include "update/update_window.h"

#include "data/error.h"
#include "platform/connectivity.h"
#include "platform/dialogs.h"
#include "update/version.h"
#include "update/vexor_update.h"

#include <QCoreApplication>
#include <QFont>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <exception>

namespace korimo::update {
namespace {

const QString kUpdate = QStringLiteral("更新");
const QString kClose = QStringLiteral("关闭");

QLabel* makeLabel(const QString& name, const QString& text, QWidget* parent, int left, int top)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->move(left, top);
    label->adjustSize();
    return label;
}

QLineEdit* makeEdit(const QString& name, QWidget* parent, int left, int top)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setGeometry(left, top, 121, 20);
    edit->setReadOnly(true);
    return edit;
}

// The busy cursor for as long as the connectivity test runs, restored on every way out.
class BusyCursor {
public:
    BusyCursor() { QGuiApplication::setOverrideCursor(Qt::BusyCursor); }
    ~BusyCursor() { restore(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
    void restore()
    {
        if (active_)
            QGuiApplication::restoreOverrideCursor();
        active_ = false;
    }

private:
    bool active_ = true;
};

} // namespace

TFrm_Update::TFrm_Update(const UpdateSettings& settings, std::function<void()> endProgram,
                         QWidget* parent)
    : QDialog(parent), settings_(settings), end_program_(std::move(endProgram))
{
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowCloseButtonHint);
    setWindowTitle(QStringLiteral("系统更新"));
    QFont face(QStringLiteral("宋体"));
    face.setPixelSize(12);
    setFont(face);
    setFixedSize(272, 247);

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel1->setGeometry(15, 14, 243, 219);

    Label1 = makeLabel(QStringLiteral("Label1"), QStringLiteral("当前版本："), Panel1, 32, 38);
    Edit1 = makeEdit(QStringLiteral("Edit1"), Panel1, 95, 34);
    Label2 = makeLabel(QStringLiteral("Label2"), QStringLiteral("最新版本："), Panel1, 32, 78);
    Edit2 = makeEdit(QStringLiteral("Edit2"), Panel1, 95, 74);

    Label3 = new QLabel(QStringLiteral("你已经使用的是最新版本，无需更新！"), Panel1);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->setGeometry(24, 119, 204, 12);
    Label3->setAlignment(Qt::AlignCenter);

    Button1 = new QPushButton(kUpdate, Panel1);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(88, 152, 75, 25);
    connect(Button1, &QPushButton::clicked, this, [this] {
        // No exception may cross the event loop: an error of the handler goes to the error box,
        // and the window stays open.
        try {
            Button1Click();
        } catch (const Error& e) {
            platform::dialogs().error(this, e.message());
        } catch (const std::exception& e) {
            platform::dialogs().error(this, QString::fromUtf8(e.what()));
        }
    });

    FormCreate();
}

TFrm_Update::~TFrm_Update()
{
    releaseChecker();
}

void TFrm_Update::FormCreate()
{
    releaseChecker(); // a second run replaces the checker, it never leaks one
    VexorUpdate1 = new TVexorUpdate();
    VexorUpdate1->SetVersionURL(versionUrlFor(settings_.updateHost));
    VexorUpdate1->SetDownloadURL(downloadUrlTemplateFor(settings_.updateHost));
    VexorUpdate1->SetVersion(settings_.appVersion);
    VexorUpdate1->SetProgramFolder(settings_.programFolder);

    Edit1->setText(settings_.appVersion);
    const QByteArray newest = VexorUpdate1->GetNewestVersion();
    Edit2->setText(fromAnsi(newest));

    if (isNewerVersion(newest, toAnsi(settings_.appVersion))) {
        Label3->setText(QStringLiteral("系统有更新版本,可更新"));
        Button1->setText(kUpdate);
        // Said before the window appears, while it is still being created.
        platform::dialogs().information(parentWidget(),
                                        QStringLiteral("发现系统有新的版本，建议您更新到最新版本！"));
    } else {
        // Also when the query failed: its "0" is never newer than a real version.
        Label3->setText(QStringLiteral("你已经使用的是最新版本，无需更新"));
        Button1->setText(kClose);
    }
}

void TFrm_Update::Button1Click()
{
    if (Button1->text() == kClose) {
        close();
        return;
    }
    if (VexorUpdate1 == nullptr)
        return;
    if (VexorUpdate1->DownloadUpdate()) {
        releaseChecker();
        if (end_program_)
            end_program_();
        close();
    }
}

void TFrm_Update::FormClose()
{
    releaseChecker();
}

void TFrm_Update::done(int result)
{
    // Every way of closing the window (close box, Escape, close()) passes here.
    FormClose();
    QDialog::done(result);
}

void TFrm_Update::releaseChecker()
{
    delete VexorUpdate1;
    VexorUpdate1 = nullptr;
}

void runUpdateCommand(QWidget* parent, const UpdateSettings& settings,
                      std::function<void()> endProgram)
{
    BusyCursor cursor;
    const QByteArray versionUrl = toAnsi(versionUrlFor(settings.updateHost));
    if (!platform::connectivity().canConnect(versionUrl)) {
        platform::dialogs().message(
            parent, QStringLiteral("你没有连接上Internet，请先连接Internet再执行此操作！"));
        return;
    }
    cursor.restore();
    // A fresh window every time: an earlier one is never shown again.
    TFrm_Update window(settings, std::move(endProgram), parent);
    window.exec();
}

void runUpdateCommand(QWidget* parent, const QString& updateHost, const QString& appVersion,
                      std::function<void()> endProgram)
{
    runUpdateCommand(parent, {QCoreApplication::applicationDirPath(), updateHost, appVersion},
                     std::move(endProgram));
}

} // namespace korimo::update
