#pragma once

#include "platform/dialogs.h"

#include <QString>
#include <QStringList>

#include <deque>
#include <optional>
#include <vector>

namespace korimo::testing {

// Records every box and dialog the program would show and answers from a script, so that no
// test ever blocks on a modal window. Installed for its lifetime.
class ScriptedDialogs final : public platform::Dialogs {
public:
    enum class Kind { Message, Confirm, Warning, Question, OkCancel, Error, Information, Open, Save };
    struct Shown {
        Kind kind;
        QString title;  // the caption the real box would carry
        QString text;   // message text, or the filter for file dialogs
        QString fileName; // proposed file name (file dialogs only)
    };

    ScriptedDialogs();
    ~ScriptedDialogs() override;
    ScriptedDialogs(const ScriptedDialogs&) = delete;
    ScriptedDialogs& operator=(const ScriptedDialogs&) = delete;

    // Answers for the next Yes/No or OK/Cancel questions, in order. Unscripted questions answer No.
    void answer(bool yes) { answers_.push_back(yes); }
    // Answers for the next file dialogs, in order: a path, or nullopt for Cancel. Unscripted: Cancel.
    void choose(std::optional<QString> path)
    {
        files_.push_back({path.has_value(), path.value_or(QString())});
    }

    const std::vector<Shown>& shown() const { return shown_; }
    // Texts of everything shown, in order.
    QStringList texts() const;
    // Texts of the boxes of one kind.
    QStringList texts(Kind kind) const;
    void clear() { shown_.clear(); }
    bool unansweredQuestion() const { return unanswered_; }

    void message(QWidget*, const QString& text) override;
    bool confirm(QWidget*, const QString& text) override;
    bool warningQuestion(QWidget*, const QString& text) override;
    bool question(QWidget*, const QString& caption, const QString& text) override;
    bool confirmOkCancel(QWidget*, const QString& text) override;
    void error(QWidget*, const QString& text) override;
    void information(QWidget*, const QString& text) override;
    std::optional<QString> openFile(QWidget*, const QString& filter, const QString& fileName) override;
    std::optional<QString> saveFile(QWidget*, const QString& filter, const QString& fileName) override;

private:
    bool nextAnswer();
    std::optional<QString> nextFile();

    std::vector<Shown> shown_;
    std::deque<bool> answers_;
    std::deque<std::pair<bool, QString>> files_; // chosen?, path
    bool unanswered_ = false;
};

} // namespace korimo::testing
