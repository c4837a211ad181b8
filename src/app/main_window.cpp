#include "app/main_window.h"

#include "app/guard.h"
#include "app/status_strip.h"
#include "chart/chart.h"
#include "chart/chart_output.h"
#include "chart/curve.h"
#include "backup/sys_data_bak.h"
#include "backup/working_database.h"
#include "data/connection_string.h"
#include "data/query.h"
#include "platform/dialogs.h"
#include "platform/ini_file.h"
#include "platform/shell.h"
#include "records/record_editing.h"
#include "update/update_window.h"
#include "widgets/db_grid.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QToolButton>

namespace korimo {
namespace {

const QColor kCurrentCellColour(166, 202, 240); // sky blue
const QColor kEvenRowColour(227, 223, 224);

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption, QRect geometry)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setGeometry(geometry);
    return b;
}

QGroupBox* makeGroup(QWidget* parent, const char* name, const QString& caption, QRect geometry)
{
    auto* g = new QGroupBox(caption, parent);
    g->setObjectName(QLatin1String(name));
    g->setGeometry(geometry);
    return g;
}

} // namespace

const QString TFrm_Main::kDefaultUpdateHost = QStringLiteral("127.0.0.1:8765/korimo");

const QString TFrm_Main::kGrid1Hint = QStringLiteral(
    "“起始日期”格式如：“2010-01-01”，或2010/01/01，即同你的电脑日期格式一致\n"
    "“天数”为整数如：28\n"
    "点击鼠标右键切换“开启”或“关闭”提示");

const QString TFrm_Main::kGrid2Hint = QStringLiteral(
    "“体温”为数字，如“36.5”，不要输入非数字字符\n"
    "“月经”和“同房”直接在表格中点击就可切换“是(√)”或“否(－)”\n"
    "点击鼠标右键切换“开启”或“关闭”提示");

TFrm_Main::TFrm_Main(const QString& appPath, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                          | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      AppPath(appPath)
{
    setObjectName(QStringLiteral("Frm_Main"));
    setWindowTitle(QStringLiteral("Korimo"));
    QFont font(QStringLiteral("宋体"));
    font.setPixelSize(12);
    setFont(font);
    setFixedSize(865, 682);

    Q1 = new Query(Conn, this);
    Q2 = new Query(Conn, this);
    Q3 = new Query(Conn, this);
    Q_Pub = new Query(Conn, this);
    Q1->setObjectName(QStringLiteral("Q1"));
    Q2->setObjectName(QStringLiteral("Q2"));
    Q3->setObjectName(QStringLiteral("Q3"));
    Q_Pub->setObjectName(QStringLiteral("Q_Pub"));

    createControls();
    wireHandlers();
    guarded(nullptr, [this] { FormCreate(); });
}

TFrm_Main::~TFrm_Main()
{
    // The grids follow their queries: let them go first.
    delete DBGrid1;
    delete DBGrid2;
    Conn.disconnect();
}

ChartSeries& TFrm_Main::Series1()
{
    return DBChart1->lineSeries();
}

ChartSeries& TFrm_Main::Series2()
{
    return DBChart1->pointSeries();
}

void TFrm_Main::createControls()
{
    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(4, 2, 856, 679);

    StatusBar4 = new StatusStrip(Panel1);
    StatusBar4->setObjectName(QStringLiteral("StatusBar4"));
    StatusBar4->setGeometry(0, 0, 856, 10);

    ToolBar1 = new QFrame(Panel1);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setFrameShape(QFrame::Box);
    ToolBar1->setGeometry(12, 14, 833, 44);
    struct Tool {
        QToolButton** button;
        const char* name;
        const char* caption;
        QStyle::StandardPixmap icon;
    };
    const Tool tools[] = {
        {&ToolButton10, "ToolButton10", "帮助说明", QStyle::SP_DialogHelpButton},
        {&ToolButton1, "ToolButton1", "打印体温曲线", QStyle::SP_FileDialogContentsView},
        {&ToolButton6, "ToolButton6", "基础体温指南", QStyle::SP_FileDialogInfoView},
        {&ToolButton8, "ToolButton8", "程序更新", QStyle::SP_BrowserReload},
        {&ToolButton15, "ToolButton15", "数据备份恢复", QStyle::SP_DriveHDIcon},
        {&ToolButton13, "ToolButton13", "退出程序", QStyle::SP_DialogCloseButton},
    };
    int x = 2;
    for (const Tool& t : tools) {
        auto* b = new QToolButton(ToolBar1);
        b->setObjectName(QLatin1String(t.name));
        b->setText(QString::fromUtf8(t.caption));
        b->setIcon(style()->standardIcon(t.icon));
        b->setIconSize(QSize(16, 16));
        b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        b->setAutoRaise(true);
        b->setGeometry(x, 4, 79, 35);
        *t.button = b;
        x += 79 + 8;
    }
    x += 12 - 8;
    CheckBox1 = new QCheckBox(QStringLiteral("演示数据(点击切换)"), ToolBar1);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    CheckBox1->setGeometry(x, 4, 125, 35);
    CheckBox1->setCursor(Qt::PointingHandCursor);
    CheckBox1->setFocusPolicy(Qt::ClickFocus); // not reachable by Tab

    GroupBox1 = makeGroup(Panel1, "GroupBox1", QStringLiteral("设置周期"), QRect(12, 64, 430, 198));
    DBGrid1 = new DbGrid(GroupBox1);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setGeometry(10, 24, 413, 139);
    DBGrid1->setColumns({{QStringLiteral("起始日期"), 85, false, {}},
                         {QStringLiteral("天数"), 59, false, {}},
                         {QStringLiteral("说明"), 235, false, {}}});
    DBGrid1->setAlwaysShowSelection(true);
    DBGrid1->setQuery(Q1);
    Button1 = makeButton(GroupBox1, "Button1", QStringLiteral("新增周期"), QRect(52, 169, 57, 21));
    Button2 = makeButton(GroupBox1, "Button2", QStringLiteral("保存周期"), QRect(176, 169, 57, 21));
    Button3 = makeButton(GroupBox1, "Button3", QStringLiteral("删除周期"), QRect(308, 169, 57, 21));

    GroupBox2 = makeGroup(Panel1, "GroupBox2", QStringLiteral("体温记录"), QRect(448, 64, 396, 197));
    DBGrid2 = new DbGrid(GroupBox2);
    DBGrid2->setObjectName(QStringLiteral("DBGrid2"));
    DBGrid2->setGeometry(12, 23, 373, 140);
    DBGrid2->setColumns({{QStringLiteral("序号"), 30, true, {}},
                         {QStringLiteral("日期"), 87, true, {}},
                         {QStringLiteral("体温"), 58, false, {}},
                         {QStringLiteral("月经"), 36, false, {}},
                         {QStringLiteral("同房"), 42, false, {}},
                         {QStringLiteral("备注"), 81, false, {}}});
    DBGrid2->setAlwaysShowSelection(false);
    // Day records come only from "保存周期": a row begun in this grid would belong to no cycle.
    DBGrid2->setCanInsert(false);
    DBGrid2->setQuery(Q2);
    Button4 = makeButton(GroupBox2, "Button4", QStringLiteral("保存记录"), QRect(73, 168, 55, 21));
    Button5 = makeButton(GroupBox2, "Button5", QStringLiteral("绘制曲线"), QRect(161, 168, 55, 21));
    Button6 = makeButton(GroupBox2, "Button6", QStringLiteral("保存曲线为图片文件"), QRect(248, 168, 121, 21));

    GroupBox3 = makeGroup(Panel1, "GroupBox3", QStringLiteral("体温曲线"), QRect(11, 266, 834, 399));
    DBChart1 = new Chart(GroupBox3);
    DBChart1->setObjectName(QStringLiteral("DBChart1"));
    DBChart1->setGeometry(9, 16, 814, 376);

    StatusBar1 = new StatusStrip(Panel1);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setGeometry(1, 666, 854, 12);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    N1 = PopupMenu1->addAction(QStringLiteral("关闭提示"));
    N2 = PopupMenu1->addAction(QStringLiteral("开启提示"));
    PopupMenu2 = new QMenu(this);
    PopupMenu2->setObjectName(QStringLiteral("PopupMenu2"));
    N3 = PopupMenu2->addAction(QStringLiteral("关闭提示"));
    N4 = PopupMenu2->addAction(QStringLiteral("开启提示"));
    N1->setObjectName(QStringLiteral("N1"));
    N2->setObjectName(QStringLiteral("N2"));
    N3->setObjectName(QStringLiteral("N3"));
    N4->setObjectName(QStringLiteral("N4"));
    setGridHints(DBGrid1, true);
    setGridHints(DBGrid2, true);
}

template <class Sender, class Signal>
void TFrm_Main::on(Sender* sender, Signal signal, void (TFrm_Main::*handler)())
{
    connect(sender, signal, this, [this, handler] { guarded(this, [&] { (this->*handler)(); }); });
}

void TFrm_Main::wireHandlers()
{
    on(Button1, &QPushButton::clicked, &TFrm_Main::Button1Click);
    on(Button2, &QPushButton::clicked, &TFrm_Main::Button2Click);
    on(Button3, &QPushButton::clicked, &TFrm_Main::Button3Click);
    on(Button4, &QPushButton::clicked, &TFrm_Main::Button4Click);
    on(Button5, &QPushButton::clicked, &TFrm_Main::Button5Click);
    on(Button6, &QPushButton::clicked, &TFrm_Main::Button6Click);
    on(ToolButton1, &QToolButton::clicked, &TFrm_Main::ToolButton1Click);
    on(ToolButton10, &QToolButton::clicked, &TFrm_Main::ToolButton10Click);
    on(ToolButton6, &QToolButton::clicked, &TFrm_Main::ToolButton6Click);
    on(ToolButton8, &QToolButton::clicked, &TFrm_Main::ToolButton8Click);
    on(ToolButton13, &QToolButton::clicked, &TFrm_Main::ToolButton13Click);
    on(ToolButton15, &QToolButton::clicked, &TFrm_Main::ToolButton15Click);
    on(CheckBox1, &QCheckBox::clicked, &TFrm_Main::CheckBox1Click);
    on(PopupMenu1, &QMenu::aboutToShow, &TFrm_Main::PopupMenu1Popup);
    on(PopupMenu2, &QMenu::aboutToShow, &TFrm_Main::PopupMenu2Popup);
    on(N1, &QAction::triggered, &TFrm_Main::N1Click);
    on(N2, &QAction::triggered, &TFrm_Main::N2Click);
    on(N3, &QAction::triggered, &TFrm_Main::N3Click);
    on(N4, &QAction::triggered, &TFrm_Main::N4Click);

    DBGrid1->setContextMenuPolicy(Qt::CustomContextMenu);
    DBGrid2->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(DBGrid1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { PopupMenu1->popup(DBGrid1->viewport()->mapToGlobal(at)); });
    connect(DBGrid2, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { PopupMenu2->popup(DBGrid2->viewport()->mapToGlobal(at)); });

    DBGrid1->setOnCellClick([this](int column) { guarded(this, [&] { DBGrid1CellClick(column); }); });
    DBGrid2->setOnCellClick([this](int column) { guarded(this, [&] { DBGrid2CellClick(column); }); });
    DBGrid2->setOnColEnter([this](int column) { guarded(this, [&] { DBGrid2ColEnter(column); }); });
    DBGrid2->setOnExit([this] { guarded(this, [&] { DBGrid2Exit(); }); });
    DBGrid1->setOnDrawColumnCell([this](DbGridDrawCell& cell) { DBGrid1DrawColumnCell(cell); });
    DBGrid2->setOnDrawColumnCell([this](DbGridDrawCell& cell) { DBGrid2DrawColumnCell(cell); });
    DBGrid1->setOnKeyDown([this](const QKeyEvent& e) { return DBGrid1KeyDown(e); });
    DBGrid2->setOnKeyDown([this](const QKeyEvent& e) { return DBGrid2KeyDown(e); });
    DBGrid1->setOnError([this](const std::exception& e) { showUncaughtError(this, e); });
    DBGrid2->setOnError([this](const std::exception& e) { showUncaughtError(this, e); });
}

// ---------------------------------------------------------------------------------------------
// Start-up

void TFrm_Main::FormCreate()
{
    if (!AppPath.endsWith(QLatin1Char('/')))
        AppPath += QLatin1Char('/');
    DataFile = dataFilePath(AppPath);
    DemoDataFile = demoDataFilePath(AppPath);
    Conn.setConnectionString(BuildConnectionString(DataFile));
    Conn.connect();

    const QString ini = AppPath + QStringLiteral("Version.ini");
    UpdateHost = platform::readIniString(ini, QStringLiteral("Host"), QStringLiteral("Host"));
    if (UpdateHost.isEmpty())
        UpdateHost = kDefaultUpdateHost;
    AppVersion = platform::readIniString(ini, QStringLiteral("Ver"), QStringLiteral("Ver"));
    if (AppVersion.isEmpty())
        AppVersion = QStringLiteral("2.0");

    setWindowTitle(QStringLiteral("Korimo--V") + AppVersion);
    DBGrid1->setReadOnly(false);
    DBGrid2->setReadOnly(false);
}

void TFrm_Main::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (shown_once_)
        return;
    shown_once_ = true;
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    guarded(this, [this] { FormShow(); });
}

void TFrm_Main::FormShow()
{
    Q1->close();
    Q1->setSql(QStringLiteral("select * from Comment"));
    Q1->open();
    DBGrid1CellClick(0);
}

// ---------------------------------------------------------------------------------------------
// Grid presentation

void TFrm_Main::paintRow(const Query& query, DbGridDrawCell& cell) const
{
    if (cell.selected) {
        cell.background = kCurrentCellColour;
        return;
    }
    const int number = query.recNo(); // the painted row's number while the grid paints
    if (number == -1 || number % 2 != 0)
        cell.background = palette().color(QPalette::Midlight); // the 3-D light shade
    else
        cell.background = kEvenRowColour;
}

void TFrm_Main::DBGrid1DrawColumnCell(DbGridDrawCell& cell)
{
    paintRow(*Q1, cell);
}

void TFrm_Main::DBGrid2DrawColumnCell(DbGridDrawCell& cell)
{
    paintRow(*Q2, cell);
}

bool TFrm_Main::swallowDownOnLastRow(const Query& query, const QKeyEvent& event) const
{
    // The grid would append an empty row on Down at the last row; the lists grow only through
    // the commands.
    return event.key() == Qt::Key_Down && query.isOpen() && query.recNo() >= query.recordCount();
}

bool TFrm_Main::DBGrid1KeyDown(const QKeyEvent& event)
{
    // The grid's own Ctrl+Delete would delete the cycle alone and leave its day records behind.
    if (event.key() == Qt::Key_Delete && event.modifiers() == Qt::ControlModifier
        && !DBGrid1->isReadOnly() && !DBGrid1->isEditing()) {
        guarded(this, [this] { records::deleteCycleFromGrid(this, cycleContext()); });
        return true;
    }
    return swallowDownOnLastRow(*Q1, event);
}

bool TFrm_Main::DBGrid2KeyDown(const QKeyEvent& event)
{
    return swallowDownOnLastRow(*Q2, event);
}

// ---------------------------------------------------------------------------------------------
// Cycles, day records and the draw command

bool TFrm_Main::demonstrationRefuses()
{
    if (!CheckBox1->isChecked())
        return false;
    platform::dialogs().message(this, QStringLiteral("演示数据中不允许此操作！"));
    return true;
}

records::CycleContext TFrm_Main::cycleContext()
{
    return {Conn, *Q1, *Q2, *Q_Pub, [this] { DBGrid1CellClick(0); }};
}

void TFrm_Main::DBGrid1CellClick(int /*column*/)
{
    if (records::currentCycleId(*Q1) != 0)
        Button5Click();
}

void TFrm_Main::Button1Click()
{
    if (demonstrationRefuses())
        return;
    records::addCycle(*Q1);
}

void TFrm_Main::Button2Click()
{
    if (demonstrationRefuses())
        return;
    records::saveCycle(this, cycleContext());
}

void TFrm_Main::Button3Click()
{
    if (demonstrationRefuses())
        return;
    records::deleteCycle(this, cycleContext());
    // With the last cycle gone nothing is selected any more: the chart must not go on showing it.
    if (Q1->isOpen() && Q1->rowCount() == 0)
        clearCurve(*DBChart1);
}

void TFrm_Main::DBGrid2CellClick(int column)
{
    if (CheckBox1->isChecked())
        return;
    records::toggleFlag(*Q2, DBGrid2->column(column).fieldName);
}

void TFrm_Main::DBGrid2ColEnter(int /*column*/)
{
    DBGrid2->setReadOnly(records::recordsReadOnly(records::currentCycleId(*Q1), CheckBox1->isChecked()));
}

void TFrm_Main::DBGrid2Exit()
{
    if (Q2->state() == Query::State::Edit)
        Button4Click();
}

void TFrm_Main::Button4Click()
{
    if (demonstrationRefuses())
        return;
    records::saveRecord(*Q2);
}

void TFrm_Main::Button5Click()
{
    drawCurve(*Q1, *Q2, *Q3, *Q_Pub, *DBChart1);
}

void TFrm_Main::Button6Click()
{
    savePictureCommand(this, *Q1, *DBChart1);
}

void TFrm_Main::ToolButton1Click()
{
    printChartCommand(*DBChart1);
}

// ---------------------------------------------------------------------------------------------
// Toolbar and hints

void TFrm_Main::ToolButton10Click()
{
    platform::shell().openDocument(AppPath + QStringLiteral("help/help.chm"));
}

void TFrm_Main::ToolButton6Click()
{
    platform::shell().openDocument(AppPath + QStringLiteral("help/telvar.htm"));
}

void TFrm_Main::ToolButton8Click()
{
    update::runUpdateCommand(this, update::UpdateSettings{AppPath, UpdateHost, AppVersion}, EndProgram);
}

namespace {

// The working database as the backup window sees it: the main window's connection.
class MainWorkingDatabase final : public backup::WorkingDatabase {
public:
    explicit MainWorkingDatabase(TFrm_Main& w) : w_(w) {}
    QString dataFile() const override { return w_.DataFile; }
    void flush() override
    {
        // Only the working file needs bringing up to date; a closed connection left it complete.
        if (w_.Conn.isConnected()
            && parseConnectionString(w_.Conn.connectionString()).dataSource == w_.DataFile)
            w_.Conn.checkpoint();
    }
    void close() override { w_.Conn.disconnect(); }
    void reopen() override { w_.SwitchDatabase(w_.Conn.connectionString()); }

private:
    TFrm_Main& w_;
};

} // namespace

void TFrm_Main::ToolButton15Click()
{
    MainWorkingDatabase working(*this);
    backup::ToolButton15Command(this, working, EndProgram);
}

void TFrm_Main::ToolButton13Click()
{
    close();
}

void TFrm_Main::setGridHints(DbGrid* grid, bool shown)
{
    (grid == DBGrid1 ? grid1_hints_ : grid2_hints_) = shown;
    const QString& text = grid == DBGrid1 ? kGrid1Hint : kGrid2Hint;
    grid->setToolTip(shown ? text : QString());
    grid->viewport()->setToolTip(shown ? text : QString());
}

bool TFrm_Main::gridHintsShown(const DbGrid* grid) const
{
    return grid == DBGrid1 ? grid1_hints_ : grid2_hints_;
}

void TFrm_Main::PopupMenu1Popup()
{
    N1->setEnabled(grid1_hints_);
    N2->setEnabled(!grid1_hints_);
}

void TFrm_Main::PopupMenu2Popup()
{
    N3->setEnabled(grid2_hints_);
    N4->setEnabled(!grid2_hints_);
}

void TFrm_Main::N1Click()
{
    setGridHints(DBGrid1, false);
}

void TFrm_Main::N2Click()
{
    setGridHints(DBGrid1, true);
}

void TFrm_Main::N3Click()
{
    setGridHints(DBGrid2, false);
}

void TFrm_Main::N4Click()
{
    setGridHints(DBGrid2, true);
}

// ---------------------------------------------------------------------------------------------
// Demonstration switch

void TFrm_Main::SwitchDatabase(const QString& connectionString)
{
    Conn.setConnectionString(connectionString);
    Conn.connect();
    Q1->close();
    Q1->open(); // its text is unchanged: "select * from Comment"
    DBGrid1CellClick(0);
}

void TFrm_Main::CheckBox1Click()
{
    if (CheckBox1->isChecked()) {
        Conn.disconnect();
        // The engine itself refuses every write to the demonstration file.
        Conn.setReadOnly(true);
        SwitchDatabase(BuildConnectionString(DemoDataFile));
        DBGrid1->setReadOnly(true);
        DBGrid2->setReadOnly(true);
    } else {
        Conn.disconnect();
        Conn.setReadOnly(false);
        SwitchDatabase(BuildConnectionString(DataFile));
        if (Q1->recordCount() == 0)
            clearCurve(*DBChart1);
        DBGrid1->setReadOnly(false);
        DBGrid2->setReadOnly(false);
    }
}

} // namespace korimo
