#pragma once

#include "data/connection.h"
#include "records/cycle_editing.h"

#include <QCoreApplication>
#include <QString>
#include <QWidget>

#include <functional>

class QAction;
class QCheckBox;
class QGroupBox;
class QKeyEvent;
class QMenu;
class QPushButton;
class QToolButton;
class QFrame;

namespace korimo {

class Chart;
class ChartSeries;
class DbGrid;
struct DbGridDrawCell;
class Query;
class StatusStrip;

// The main window: a switchboard. It owns the one connection, the four queries and the
// controls, and forwards each handler to the algorithm of its folder. Names follow the window's
// layout so that a behaviour leads to its code in one search.
class TFrm_Main : public QWidget {
    Q_OBJECT
public:
    // Creating the window runs FormCreate; showing it the first time runs FormShow.
    explicit TFrm_Main(const QString& appPath, QWidget* parent = nullptr);
    ~TFrm_Main() override;

    // Built-in update address, used when Version.ini names none.
    static const QString kDefaultUpdateHost;

    // Program settings, set once by FormCreate.
    QString AppPath;
    QString DataFile;
    QString DemoDataFile;
    QString UpdateHost;
    QString AppVersion;

    // Ends the program after a successful restore or update download: the message loop ends once
    // the current event has been handled.
    std::function<void()> EndProgram = [] { QCoreApplication::exit(0); };

    // Data.
    Connection Conn;
    Query* Q1;
    Query* Q2;
    Query* Q3;
    Query* Q_Pub;

    // Controls.
    QFrame* Panel1;
    QFrame* ToolBar1;
    QToolButton* ToolButton10;
    QToolButton* ToolButton1;
    QToolButton* ToolButton6;
    QToolButton* ToolButton8;
    QToolButton* ToolButton15;
    QToolButton* ToolButton13;
    QCheckBox* CheckBox1;
    QGroupBox* GroupBox1;
    QGroupBox* GroupBox2;
    QGroupBox* GroupBox3;
    DbGrid* DBGrid1;
    DbGrid* DBGrid2;
    QPushButton* Button1;
    QPushButton* Button2;
    QPushButton* Button3;
    QPushButton* Button4;
    QPushButton* Button5;
    QPushButton* Button6;
    Chart* DBChart1;
    StatusStrip* StatusBar4;
    StatusStrip* StatusBar1;
    QMenu* PopupMenu1;
    QMenu* PopupMenu2;
    QAction* N1;
    QAction* N2;
    QAction* N3;
    QAction* N4;

    ChartSeries& Series1();
    ChartSeries& Series2();

    // Hint texts of the two grids.
    static const QString kGrid1Hint;
    static const QString kGrid2Hint;
    bool gridHintsShown(const DbGrid* grid) const;

    // Handlers.
    void FormCreate();
    void FormShow();
    void DBGrid1CellClick(int column);
    void DBGrid1DrawColumnCell(DbGridDrawCell& cell);
    bool DBGrid1KeyDown(const QKeyEvent& event);
    void DBGrid2DrawColumnCell(DbGridDrawCell& cell);
    bool DBGrid2KeyDown(const QKeyEvent& event);
    void Button1Click();
    void Button2Click();
    void Button3Click();
    void DBGrid2CellClick(int column);
    void DBGrid2ColEnter(int column);
    void DBGrid2Exit();
    void Button4Click();
    void Button5Click();
    void Button6Click();
    void ToolButton1Click();
    void ToolButton10Click();
    void ToolButton6Click();
    void ToolButton8Click();
    void ToolButton13Click();
    void ToolButton15Click();
    void PopupMenu1Popup();
    void PopupMenu2Popup();
    void N1Click();
    void N2Click();
    void N3Click();
    void N4Click();
    void CheckBox1Click();
    void SwitchDatabase(const QString& connectionString);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void createControls();
    void wireHandlers();
    // Connects a control's signal to a handler entered through the error guard.
    template <class Sender, class Signal>
    void on(Sender* sender, Signal signal, void (TFrm_Main::*handler)());
    void setGridHints(DbGrid* grid, bool shown);
    // While the demonstration data is on, the data-entry commands say so and do nothing else.
    bool demonstrationRefuses();
    records::CycleContext cycleContext();
    void paintRow(const Query& query, DbGridDrawCell& cell) const;
    bool swallowDownOnLastRow(const Query& query, const QKeyEvent& event) const;

    bool shown_once_ = false;
    bool grid1_hints_ = true;
    bool grid2_hints_ = true;
};

} // namespace korimo
