#pragma once

#include <QString>

class QPainter;

namespace korimo::platform {

// The text raised when a page size or a job is asked of a system without a default printer.
inline QString noDefaultPrinterText()
{
    return QStringLiteral("There is no default printer currently selected");
}

// The system's default printer, as the print command needs it: one page per job, no dialog, the
// printer's own current settings. Every query and the start of a job raise korimo::Error with
// noDefaultPrinterText() when there is no default printer, so nothing starts in that case.
class Printer {
public:
    virtual ~Printer() = default;

    // Whether a default printer is selected right now.
    virtual bool hasDefaultPrinter() = 0;

    // The printable area of the page in printer pixels, and the resolution in dots per inch.
    virtual int pageWidth() = 0;
    virtual int pageHeight() = 0;
    virtual int dpiX() = 0;
    virtual int dpiY() = 0;

    // Starts a job with the given document title; its one page begins at once.
    virtual void beginJob(const QString& title) = 0;
    // The painter of the page while a job runs; its coordinates are printer pixels of the
    // printable area.
    virtual QPainter& painter() = 0;
    // Finishes the page and hands the job to the printer.
    virtual void endJob() = 0;
    // Drops the running job so that nothing of it is printed. Never throws; does nothing when no
    // job runs.
    virtual void abortJob() = 0;
};

// The implementation in use: the system's default printer unless a test installed another one.
Printer& printer();
// Installs an implementation (not owned); nullptr restores the real one.
void setPrinter(Printer* replacement);

} // namespace korimo::platform
