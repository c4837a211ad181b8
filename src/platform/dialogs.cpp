#include "platform/dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>

namespace korimo::platform {
namespace {

int runBox(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text,
           QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton)
{
    QMessageBox box(icon, title, text, buttons, parent);
    box.setDefaultButton(defaultButton);
    return box.exec();
}

QString appTitle()
{
    const QString name = QApplication::applicationDisplayName();
    return name.isEmpty() ? QStringLiteral("Korimo") : name;
}

class QtDialogs final : public Dialogs {
public:
    void message(QWidget* parent, const QString& text) override
    {
        runBox(parent, QMessageBox::NoIcon, appTitle(), text, QMessageBox::Ok, QMessageBox::Ok);
    }
    bool confirm(QWidget* parent, const QString& text) override
    {
        return runBox(parent, QMessageBox::Question, QStringLiteral("Confirm"), text,
                      QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes)
            == QMessageBox::Yes;
    }
    bool warningQuestion(QWidget* parent, const QString& text) override
    {
        return runBox(parent, QMessageBox::Warning, QStringLiteral("Warning"), text,
                      QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes)
            == QMessageBox::Yes;
    }
    bool question(QWidget* parent, const QString& caption, const QString& text) override
    {
        return runBox(parent, QMessageBox::Question, caption, text,
                      QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes)
            == QMessageBox::Yes;
    }
    bool confirmOkCancel(QWidget* parent, const QString& text) override
    {
        return runBox(parent, QMessageBox::Question, QStringLiteral("Confirm"), text,
                      QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok)
            == QMessageBox::Ok;
    }
    void error(QWidget* parent, const QString& text) override
    {
        runBox(parent, QMessageBox::Critical, appTitle(), text, QMessageBox::Ok, QMessageBox::Ok);
    }
    void information(QWidget* parent, const QString& text) override
    {
        runBox(parent, QMessageBox::Information, appTitle(), text, QMessageBox::Ok,
               QMessageBox::Ok);
    }
    std::optional<QString> openFile(QWidget* parent, const QString& filter,
                                    const QString& fileName) override
    {
        QFileDialog dialog(parent, QString(), QString(), qtFilter(filter));
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        // A name that does not exist may be confirmed, as with the classic open dialog.
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.selectFile(fileName);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::nullopt;
        return dialog.selectedFiles().constFirst();
    }
    std::optional<QString> saveFile(QWidget* parent, const QString& filter,
                                    const QString& fileName) override
    {
        QFileDialog dialog(parent, QString(), QString(), qtFilter(filter));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
        dialog.selectFile(fileName);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::nullopt;
        return dialog.selectedFiles().constFirst();
    }
};

QtDialogs& realDialogs()
{
    static QtDialogs instance;
    return instance;
}

Dialogs* current = nullptr;

} // namespace

Dialogs& dialogs()
{
    return current != nullptr ? *current : realDialogs();
}

void setDialogs(Dialogs* replacement)
{
    current = replacement;
}

QString qtFilter(const QString& classicFilter)
{
    const QStringList parts = classicFilter.split(QLatin1Char('|'));
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        entries << QStringLiteral("%1 (%2)").arg(parts[i], QString(parts[i + 1]).replace(';', ' '));
    return entries.join(QStringLiteral(";;"));
}

} // namespace korimo::platform
