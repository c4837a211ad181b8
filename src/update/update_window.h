#pragma once

#include <QDialog>
#include <QString>

#include <functional>

class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

namespace korimo::update {

class TVexorUpdate;

// Where the update command looks and what it reports.
struct UpdateSettings {
    QString programFolder; // Update.EXE is written here
    QString updateHost;    // "host" or "host/path" of the update service
    QString appVersion;    // the running version
};

// The update window: the running and the newest version, the verdict, and "更新" or "关闭".
// The version query runs while the window is created (FormCreate), before it is shown, and a
// newer version is announced in a box before the window appears.
class TFrm_Update final : public QDialog {
    Q_OBJECT

public:
    // endProgram is called after a successful download, to end the program so that the updater
    // can replace it.
    TFrm_Update(const UpdateSettings& settings, std::function<void()> endProgram,
                QWidget* parent = nullptr);
    ~TFrm_Update() override;

    void FormCreate();
    // Throws what DownloadUpdate throws; the click connection shows it in the error box.
    void Button1Click();
    // The close event: releases the checker unless Button1Click already did.
    void FormClose();

    QFrame* Panel1;
    QLabel* Label1;
    QLineEdit* Edit1;
    QLabel* Label2;
    QLineEdit* Edit2;
    QLabel* Label3;
    QPushButton* Button1;

    // The window's checker; none once released.
    TVexorUpdate* VexorUpdate1 = nullptr;

public slots:
    void done(int result) override;

private:
    void releaseChecker();

    UpdateSettings settings_;
    std::function<void()> end_program_;
};

// The toolbar's update command (ToolButton8Click forwards here): tests whether the update service
// can be reached, with the busy cursor up meanwhile; says so and stops when it cannot; otherwise
// opens a fresh update window modally. endProgram ends the program after a successful download.
void runUpdateCommand(QWidget* parent, const UpdateSettings& settings,
                      std::function<void()> endProgram);
// The same with Update.EXE going to the folder of the running executable.
void runUpdateCommand(QWidget* parent, const QString& updateHost, const QString& appVersion,
                      std::function<void()> endProgram);

} // namespace korimo::update
