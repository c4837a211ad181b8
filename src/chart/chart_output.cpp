#include "chart/chart_output.h"

#include "chart/chart.h"
#include "chart/print_layout.h"
#include "data/error.h"
#include "data/query.h"
#include "platform/dialogs.h"
#include "platform/printer.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <QRandomGenerator>

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace korimo {

namespace chart {

QString cannotCreateFileText(const QString& path, const QString& reason)
{
    return QStringLiteral("Cannot create file \"%1\". %2").arg(path, reason);
}

QByteArray encodeBitmap(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "BMP");
    if (!writer.write(image))
        throw Error(writer.errorString());
    return bytes;
}

void writeAll(QIODevice& device, const QByteArray& bytes)
{
    qint64 done = 0;
    while (done < bytes.size()) {
        const qint64 n = device.write(bytes.constData() + done, bytes.size() - done);
        if (n <= 0)
            throw Error(device.errorString());
        done += n;
    }
    if (auto* file = qobject_cast<QFileDevice*>(&device); file != nullptr && !file->flush())
        throw Error(file->errorString());
}

namespace {

// A descriptor that is closed when it goes out of scope, unless it was closed on purpose first.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    int get() const { return fd_; }
    // Closes now and reports the result, since a failing close can mean lost data.
    bool close()
    {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

QString systemReason(int error)
{
    return qt_error_string(error);
}

// A name nobody else uses in `folder`, hidden, so a file manager does not show a half-written
// picture.
QString temporaryName(const QString& folder)
{
    static const char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    QString suffix;
    for (int i = 0; i < 8; ++i)
        suffix += QLatin1Char(letters[QRandomGenerator::global()->bounded(36)]);
    return folder + QStringLiteral("/.korimo-picture-") + suffix + QStringLiteral(".tmp");
}

} // namespace

void replaceFile(const QString& target, const std::function<void(QIODevice& file)>& write)
{
    const QFileInfo targetInfo(target);
    const QString path = targetInfo.absoluteFilePath();
    const QString folder = targetInfo.absolutePath();
    const QByteArray encodedPath = QFile::encodeName(path);

    QString temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary = temporaryName(folder);
        fd = ::open(QFile::encodeName(temporary).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            throw Error(cannotCreateFileText(path, systemReason(errno)));
    }
    if (fd < 0)
        throw Error(cannotCreateFileText(path, systemReason(EEXIST)));
    Descriptor descriptor(fd);
    const QByteArray encodedTemporary = QFile::encodeName(temporary);

    // From here on every way out removes the new file; the target is only touched by the rename.
    const auto fail = [&](const QString& reason) {
        ::unlink(encodedTemporary.constData());
        throw Error(cannotCreateFileText(path, reason));
    };

    try {
        // The replacing file keeps the permissions the user gave the old one.
        struct stat old {};
        if (::stat(encodedPath.constData(), &old) == 0 && S_ISREG(old.st_mode))
            ::fchmod(fd, old.st_mode & 07777);

        QFile file;
        if (!file.open(fd, QIODevice::WriteOnly, QFileDevice::DontCloseHandle))
            fail(file.errorString());
        try {
            write(file);
        } catch (const Error& e) {
            fail(e.message());
        }
        if (!file.flush())
            fail(file.errorString());
        file.close();
        if (::fsync(fd) != 0)
            fail(systemReason(errno));
        if (!descriptor.close())
            fail(systemReason(errno));
        if (::rename(encodedTemporary.constData(), encodedPath.constData()) != 0)
            fail(systemReason(errno));
    } catch (const Error&) {
        throw; // already cleaned up by fail()
    } catch (...) {
        ::unlink(encodedTemporary.constData());
        throw;
    }

    // The rename itself reaches the disk with the folder's entry; a failure here no longer
    // endangers either file, so it is not reported.
    const int dir = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

void writePictureFile(const QImage& image, const QString& target)
{
    const QByteArray bytes = encodeBitmap(image);
    replaceFile(target, [&](QIODevice& file) { writeAll(file, bytes); });
}

} // namespace chart

void savePictureCommand(QWidget* parent, Query& cycles, const Chart& chart)
{
    platform::Dialogs& dialogs = platform::dialogs();
    if (cycles.fieldByName(QStringLiteral("编号")).asInteger() == 0) {
        dialogs.message(parent, QStringLiteral("请先输入周期及体温数据并绘制曲线！"));
        return;
    }
    const QString note = cycles.fieldByName(QStringLiteral("说明")).asText();
    const std::optional<QString> chosen = dialogs.saveFile(parent, QStringLiteral("*.jpg|*.jpg"), note);
    if (!chosen || chosen->isEmpty())
        return;

    // The suffix goes on whatever the name already ends in; the content stays a bitmap.
    const QString target = *chosen + QStringLiteral(".jpg");
    const QFileInfo existing(target);
    if (existing.exists() && !existing.isDir()) {
        const QString question = QStringLiteral("文件\"") + target + QStringLiteral("\"已经存在，是否替换？");
        if (!dialogs.confirm(parent, question)) {
            dialogs.message(parent, QStringLiteral("图片文件未替换！"));
            return;
        }
    }
    chart::writePictureFile(chart.renderImage(), target);
    dialogs.message(parent, QStringLiteral("曲线保存为图片文件成功！"));
}

void printChartCommand(const Chart& chart)
{
    platform::Printer& printer = platform::printer();
    const int pageWidth = printer.pageWidth();
    const int pageHeight = printer.pageHeight();
    const int dpiX = printer.dpiX();
    const int dpiY = printer.dpiY();
    const chart::PrintLayout layout =
        chart::computePrintLayout(chart.width(), chart.height(), pageWidth, pageHeight, dpiX, dpiY);

    printer.beginJob(chart::printJobTitle());
    try {
        // paint() maps the chart's own size onto the rectangle, clips to it and leaves the
        // painter as it found it.
        chart.paint(printer.painter(), layout.rect());
        printer.endJob();
    } catch (...) {
        printer.abortJob();
        throw;
    }
}

} // namespace korimo
