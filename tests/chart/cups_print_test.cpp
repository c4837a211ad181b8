// One real print: the chart through the system printer implementation onto a CUPS queue whose
// backend writes PDF files, so the whole way from QPrinter to the spooler is exercised.

#include "chart/chart.h"
#include "chart/chart_output.h"
#include "platform/printer.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QPainter>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QThread>

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

const QString kQueue = QStringLiteral("KorimoPDF");
constexpr int kWaitMs = 30000;

struct ToolRun {
    bool ok = false;
    QString output;
};

ToolRun run(const QString& program, const QStringList& arguments)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, arguments);
    if (!p.waitForStarted() || !p.waitForFinished(kWaitMs)) {
        p.kill();
        p.waitForFinished();
        return {};
    }
    return {p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0, QString::fromLocal8Bit(p.readAll())};
}

bool schedulerRunning()
{
    return run(QStringLiteral("lpstat"), {QStringLiteral("-r")}).output.contains(QStringLiteral("scheduler is running"));
}

// Where the cups-pdf backend puts its files: the job owner's home, or the folder for anonymous jobs.
QStringList outputFolders()
{
    return {QDir::home().filePath(QStringLiteral("PDF")), QStringLiteral("/var/spool/cups-pdf/ANONYMOUS")};
}

QSet<QString> pdfFiles()
{
    QSet<QString> files;
    for (const QString& folder : outputFolders())
        for (const QFileInfo& f : QDir(folder).entryInfoList({QStringLiteral("*.pdf")}, QDir::Files))
            files.insert(f.absoluteFilePath());
    return files;
}

// A complete PDF file: the header at the start and the end-of-file marker at the end.
bool completePdf(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = f.readAll();
    return bytes.startsWith("%PDF") && bytes.trimmed().endsWith("%%EOF");
}

// The scheduler and the queue for one test: starts cupsd when none runs, adds the PDF queue and
// makes it the default; undoes each of these afterwards.
class CupsPdfQueue {
public:
    CupsPdfQueue() = default;
    CupsPdfQueue(const CupsPdfQueue&) = delete;
    CupsPdfQueue& operator=(const CupsPdfQueue&) = delete;

    // An empty text on success, else what went wrong.
    QString setUp()
    {
        if (!schedulerRunning()) {
            scheduler_.start(QStringLiteral("/usr/sbin/cupsd"), {QStringLiteral("-f")});
            if (!scheduler_.waitForStarted())
                return QStringLiteral("cupsd did not start: ") + scheduler_.errorString();
            started_ = true;
            QElapsedTimer timer;
            timer.start();
            while (!schedulerRunning()) {
                if (timer.elapsed() > kWaitMs || scheduler_.state() == QProcess::NotRunning)
                    return QStringLiteral("the scheduler did not come up: ")
                           + QString::fromLocal8Bit(scheduler_.readAllStandardError());
                QThread::msleep(100);
            }
        } else {
            const QString line = run(QStringLiteral("lpstat"), {QStringLiteral("-d")}).output.trimmed();
            const QString prefix = QStringLiteral("system default destination: ");
            if (line.startsWith(prefix))
                previous_default_ = line.mid(prefix.size());
        }
        const ToolRun add = run(QStringLiteral("lpadmin"),
                            {QStringLiteral("-p"), kQueue, QStringLiteral("-v"), QStringLiteral("cups-pdf:/"),
                             QStringLiteral("-m"), QStringLiteral("lsb/usr/cups-pdf/CUPS-PDF_opt.ppd"),
                             QStringLiteral("-E")});
        if (!add.ok)
            return QStringLiteral("lpadmin could not add the queue: ") + add.output;
        added_ = true;
        const ToolRun makeDefault = run(QStringLiteral("lpadmin"), {QStringLiteral("-d"), kQueue});
        if (!makeDefault.ok)
            return QStringLiteral("lpadmin could not make the queue the default: ") + makeDefault.output;
        return {};
    }

    ~CupsPdfQueue()
    {
        if (added_)
            run(QStringLiteral("lpadmin"), {QStringLiteral("-x"), kQueue});
        if (!previous_default_.isEmpty() && previous_default_ != kQueue)
            run(QStringLiteral("lpadmin"), {QStringLiteral("-d"), previous_default_});
        if (started_) {
            scheduler_.terminate();
            if (!scheduler_.waitForFinished(10000)) {
                scheduler_.kill();
                scheduler_.waitForFinished();
            }
        }
    }

private:
    QProcess scheduler_;
    bool started_ = false;
    bool added_ = false;
    QString previous_default_;
};

TEST(SystemPrinter, PrintsTheChartOnACupsPdfQueue)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to start the print scheduler and add a queue";
    const QStringList needed{QStringLiteral("/usr/sbin/cupsd"), QStringLiteral("/usr/lib/cups/backend/cups-pdf"),
                             QStringLiteral("/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd")};
    for (const QString& path : needed)
        if (!QFileInfo::exists(path))
            GTEST_SKIP() << path.toStdString() << " is missing: install cups and printer-driver-cups-pdf";
    for (const QString& tool : {QStringLiteral("lpstat"), QStringLiteral("lpadmin"), QStringLiteral("lp")})
        if (QStandardPaths::findExecutable(tool).isEmpty())
            GTEST_SKIP() << tool.toStdString() << " is missing: install cups-client";

    CupsPdfQueue queue;
    const QString problem = queue.setUp();
    ASSERT_TRUE(problem.isEmpty()) << problem.toStdString();

    korimo::platform::Printer& printer = korimo::platform::printer();
    ASSERT_TRUE(printer.hasDefaultPrinter());
    EXPECT_GT(printer.pageWidth(), 0);
    EXPECT_GT(printer.dpiX(), 0);

    const QSet<QString> before = pdfFiles();
    // A job dropped half way must not reach the queue at all.
    printer.beginJob(QStringLiteral("Dropped"));
    printer.painter().fillRect(QRect(0, 0, 100, 100), Qt::black);
    printer.abortJob();

    korimo::Chart chart;
    chart.lineSeries().add(5, 36.5);
    chart.lineSeries().add(15, 36.9);
    korimo::printChartCommand(chart);

    QString printed;
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < kWaitMs) {
        for (const QString& file : pdfFiles() - before)
            if (completePdf(file))
                printed = file;
        if (!printed.isEmpty())
            break;
        QThread::msleep(200);
    }
    ASSERT_FALSE(printed.isEmpty()) << "no PDF appeared in " << outputFolders().join(", ").toStdString()
                                    << " within " << kWaitMs / 1000 << " s";
    // cups-pdf names its files after the job's title.
    EXPECT_TRUE(QFileInfo(printed).fileName().contains(QStringLiteral("DBChart1"))) << printed.toStdString();
    // The queue prints in order, so a dropped job that had gone through would be here by now.
    EXPECT_EQ(pdfFiles() - before, QSet<QString>{printed});
    if (!QStandardPaths::findExecutable(QStringLiteral("pdfinfo")).isEmpty()) {
        const ToolRun info = run(QStringLiteral("pdfinfo"), {printed});
        EXPECT_TRUE(info.output.contains(QRegularExpression(QStringLiteral("Pages:\\s+1\\n")))) << info.output.toStdString();
        EXPECT_TRUE(info.output.contains(QRegularExpression(QStringLiteral("Title:\\s+\\(?DBChart1"))))
            << info.output.toStdString();
    }
    QFile::remove(printed);
}

} // namespace
