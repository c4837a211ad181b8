#pragma once

#include "backup/working_database.h"

#include <QDialog>
#include <QString>

#include <functional>

class QGroupBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

namespace korimo::backup {

// The backup and restore window: copies the working database into a folder of the user's choice
// as "Data.mdb", and replaces it by a chosen copy, after which the program has to end.
// It keeps nothing between uses: every use creates a fresh window.
class TFrmSysDataBak final : public QDialog {
    Q_OBJECT

public:
    // endProgram ends the program after a successful restore; the window closes as well.
    TFrmSysDataBak(WorkingDatabase& db, std::function<void()> endProgram,
                   QWidget* parent = nullptr);

    // The two open dialogs, by their filters and proposed names.
    static const QString kOpenDialog1Filter; // "路径|ljf.ljf"
    static const QString kOpenDialog1FileName; // "当前路径"
    static const QString kOpenDialog2Filter; // "数据库文件|*.mdb"

    // Handlers. Only a failed reopen of the working connection after a failed restore throws.
    void Button1Click(); // choose the backup folder
    void Button2Click(); // back up
    void Button3Click(); // close
    void Button4Click(); // choose the backup file
    void Button5Click(); // restore
    void Button6Click(); // close

    QGroupBox* GroupBox1;
    QFrame* Panel1;
    QLabel* Label1;
    QLineEdit* Edit1;
    QPushButton* Button1;
    QLabel* Label2;
    QPushButton* Button2;
    QPushButton* Button3;
    QGroupBox* GroupBox2;
    QFrame* Panel2;
    QLabel* Label3;
    QLineEdit* Edit2;
    QPushButton* Button4;
    QLabel* Label4;
    QPushButton* Button5;
    QPushButton* Button6;

private:
    void on(QPushButton* button, void (TFrmSysDataBak::*handler)());

    WorkingDatabase& db_;
    std::function<void()> end_program_;
};

// The toolbar's backup and restore command (ToolButton15Click forwards here): a fresh window,
// shown modally and released when it closes.
void ToolButton15Command(QWidget* parent, WorkingDatabase& db, std::function<void()> endProgram);

} // namespace korimo::backup
