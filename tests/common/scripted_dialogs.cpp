#include "scripted_dialogs.h"

namespace korimo::testing {

ScriptedDialogs::ScriptedDialogs()
{
    platform::setDialogs(this);
}

ScriptedDialogs::~ScriptedDialogs()
{
    platform::setDialogs(nullptr);
}

QStringList ScriptedDialogs::texts() const
{
    QStringList out;
    for (const Shown& s : shown_)
        out << s.text;
    return out;
}

QStringList ScriptedDialogs::texts(Kind kind) const
{
    QStringList out;
    for (const Shown& s : shown_)
        if (s.kind == kind)
            out << s.text;
    return out;
}

bool ScriptedDialogs::nextAnswer()
{
    if (answers_.empty()) {
        unanswered_ = true;
        return false;
    }
    const bool a = answers_.front();
    answers_.pop_front();
    return a;
}

std::optional<QString> ScriptedDialogs::nextFile()
{
    if (files_.empty())
        return std::nullopt;
    const auto [chosen, path] = files_.front();
    files_.pop_front();
    if (!chosen)
        return std::nullopt;
    return path;
}

void ScriptedDialogs::message(QWidget*, const QString& text)
{
    shown_.push_back({Kind::Message, QStringLiteral("Korimo"), text, {}});
}

bool ScriptedDialogs::confirm(QWidget*, const QString& text)
{
    shown_.push_back({Kind::Confirm, QStringLiteral("Confirm"), text, {}});
    return nextAnswer();
}

bool ScriptedDialogs::warningQuestion(QWidget*, const QString& text)
{
    shown_.push_back({Kind::Warning, QStringLiteral("Warning"), text, {}});
    return nextAnswer();
}

bool ScriptedDialogs::question(QWidget*, const QString& caption, const QString& text)
{
    shown_.push_back({Kind::Question, caption, text, {}});
    return nextAnswer();
}

bool ScriptedDialogs::confirmOkCancel(QWidget*, const QString& text)
{
    shown_.push_back({Kind::OkCancel, QStringLiteral("Confirm"), text, {}});
    return nextAnswer();
}

void ScriptedDialogs::error(QWidget*, const QString& text)
{
    shown_.push_back({Kind::Error, QStringLiteral("Korimo"), text, {}});
}

void ScriptedDialogs::information(QWidget*, const QString& text)
{
    shown_.push_back({Kind::Information, QStringLiteral("Korimo"), text, {}});
}

std::optional<QString> ScriptedDialogs::openFile(QWidget*, const QString& filter,
                                                 const QString& fileName)
{
    shown_.push_back({Kind::Open, QString(), filter, fileName});
    return nextFile();
}

std::optional<QString> ScriptedDialogs::saveFile(QWidget*, const QString& filter,
                                                 const QString& fileName)
{
    shown_.push_back({Kind::Save, QString(), filter, fileName});
    return nextFile();
}

} // namespace korimo::testing
