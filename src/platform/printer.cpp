#include "platform/printer.h"

#include "data/error.h"

#include <QDir>
#include <QFileInfo>
#include <QPageLayout>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QTemporaryFile>

#include <memory>

namespace korimo::platform {

namespace {

// The default printer through Qt Print Support. The QPrinter is made at the first question of a
// print and dropped after the job, so every print follows the default printer of that moment.
//
// A dropped job must print nothing. Qt's CUPS engine cannot abort: ending its painter always
// hands the page to the spooler. So on these systems the page goes to a file of our own first,
// written by that same engine with the printer's settings, and only a job that ends well is
// handed to the spooler, with the options Qt itself would have sent. An aborted job just deletes
// the file.
class SystemPrinter final : public Printer {
public:
    ~SystemPrinter() override { abortJob(); }

    bool hasDefaultPrinter() override { return !QPrinterInfo::defaultPrinter().isNull(); }

    int pageWidth() override { return device().width(); }
    int pageHeight() override { return device().height(); }
    int dpiX() override { return device().logicalDpiX(); }
    int dpiY() override { return device().logicalDpiY(); }

    void beginJob(const QString& title) override
    {
        if (painter_)
            abortJob();
        QPrinter& printer = device();
        printer.setDocName(title);
        title_ = title;
#ifndef Q_OS_WIN
        spool_ = std::make_unique<QTemporaryFile>(QDir::temp().filePath(QStringLiteral("korimo-print-XXXXXX")));
        if (!spool_->open()) {
            const QString reason = spool_->errorString();
            reset();
            throw Error(QStringLiteral("Cannot create the print file: %1").arg(reason));
        }
        spool_->close();
        // No ".pdf" suffix: that would swap the printer's engine for the plain PDF writer and
        // lose the printer's page settings.
        printer.setOutputFileName(spool_->fileName());
#endif
        painter_ = std::make_unique<QPainter>();
        if (!painter_->begin(&printer)) {
            const QString name = printer.printerName();
            reset();
            throw Error(QStringLiteral("Cannot start a print job on \"%1\"").arg(name));
        }
    }

    QPainter& painter() override
    {
        if (!painter_)
            throw Error(QStringLiteral("No print job is running"));
        return *painter_;
    }

    void endJob() override
    {
        if (!painter_)
            throw Error(QStringLiteral("No print job is running"));
        const bool ended = painter_->end();
        const bool failed = !ended || printer_->printerState() == QPrinter::Error;
        if (failed) {
            reset();
            throw Error(QStringLiteral("The page could not be printed"));
        }
#ifndef Q_OS_WIN
        try {
            submit();
        } catch (...) {
            reset();
            throw;
        }
#endif
        reset();
    }

    void abortJob() override
    {
        if (painter_ && painter_->isActive()) {
#ifdef Q_OS_WIN
            printer_->abort();
#endif
            painter_->end();
        }
        reset();
    }

private:
    QPrinter& device()
    {
        if (!printer_) {
            const QPrinterInfo info = QPrinterInfo::defaultPrinter();
            if (info.isNull())
                throw Error(noDefaultPrinterText());
            printer_ = std::make_unique<QPrinter>(info, QPrinter::HighResolution);
        }
        return *printer_;
    }

#ifndef Q_OS_WIN
    // Hands the finished page to the spooler the way Qt's CUPS engine does: the page size by its
    // name, the printer's duplex mode, the orientation, the document title.
    void submit()
    {
        const QPageLayout layout = printer_->pageLayout();
        // An instance "printer/instance" prints on the printer itself.
        const QString queue = printer_->printerName().section(QLatin1Char('/'), 0, 0);
        QStringList arguments{QStringLiteral("-d"), queue, QStringLiteral("-t"), title_};
        arguments << QStringLiteral("-o") << QStringLiteral("media=") + layout.pageSize().key();
        QString sides = QStringLiteral("one-sided");
        const bool portrait = layout.orientation() == QPageLayout::Portrait;
        switch (printer_->duplex()) {
        case QPrinter::DuplexNone:
            break;
        case QPrinter::DuplexAuto:
            sides = portrait ? QStringLiteral("two-sided-long-edge") : QStringLiteral("two-sided-short-edge");
            break;
        case QPrinter::DuplexLongSide:
            sides = QStringLiteral("two-sided-long-edge");
            break;
        case QPrinter::DuplexShortSide:
            sides = QStringLiteral("two-sided-short-edge");
            break;
        }
        arguments << QStringLiteral("-o") << QStringLiteral("sides=") + sides;
        if (!portrait)
            arguments << QStringLiteral("-o") << QStringLiteral("landscape");
        arguments << spool_->fileName();

        QProcess lp;
        lp.start(QStringLiteral("lp"), arguments);
        if (!lp.waitForStarted())
            throw Error(QStringLiteral("Cannot hand the page to the print spooler: %1").arg(lp.errorString()));
        lp.closeWriteChannel();
        // The spooler copies the file before lp returns, so the file may go right after.
        if (!lp.waitForFinished(120000)) {
            lp.kill();
            lp.waitForFinished();
            throw Error(QStringLiteral("The print spooler did not answer"));
        }
        if (lp.exitStatus() != QProcess::NormalExit || lp.exitCode() != 0) {
            const QString reason = QString::fromLocal8Bit(lp.readAllStandardError()).trimmed();
            throw Error(QStringLiteral("The print spooler refused the page: %1")
                            .arg(reason.isEmpty() ? lp.errorString() : reason));
        }
    }
#endif

    void reset()
    {
        painter_.reset();
        printer_.reset();
        spool_.reset(); // removes the page file
        title_.clear();
    }

    std::unique_ptr<QPrinter> printer_;
    std::unique_ptr<QPainter> painter_;
    std::unique_ptr<QTemporaryFile> spool_;
    QString title_;
};

Printer* current = nullptr;

} // namespace

Printer& printer()
{
    static SystemPrinter real;
    return current != nullptr ? *current : real;
}

void setPrinter(Printer* replacement)
{
    current = replacement;
}

} // namespace korimo::platform
