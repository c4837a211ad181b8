#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

class QIODevice;
class QImage;
class QWidget;

namespace korimo {

class Chart;
class Query;

// The two ways the chart leaves the screen: "保存曲线为图片文件" (Button6Click) and
// "打印体温曲线" (ToolButton1Click). Both take the chart as it stands; neither reads the database
// to draw it again.

// Saves the chart as a picture. `cycles` is the cycles query; its current row names the cycle
// (编号, 0 for none) and proposes the file name (说明). The file is a Windows bitmap under the
// chosen name with ".jpg" appended. Messages and questions go through platform::dialogs(); a file
// that cannot be written raises korimo::Error "Cannot create file \"<path>\". <reason>".
void savePictureCommand(QWidget* parent, Query& cycles, const Chart& chart);

// Prints the chart on one page of the default printer (platform::printer()), scaled into the
// rectangle the print layout gives for the chart's size. Raises korimo::Error when there is no
// default printer (no job starts) and passes on any error of the job after aborting it.
void printChartCommand(const Chart& chart);

namespace chart {

// The document title of every print job.
inline QString printJobTitle()
{
    return QStringLiteral("DBChart1");
}

// "Cannot create file \"<path>\". <reason>"
QString cannotCreateFileText(const QString& path, const QString& reason);

// The image as an uncompressed Windows bitmap: 14-byte file header, 40-byte information header,
// 24-bit rows for an RGB32 image.
QByteArray encodeBitmap(const QImage& image);

// Writes every byte to the device and flushes it; raises korimo::Error with the device's reason
// when it takes fewer bytes or fails to flush.
void writeAll(QIODevice& device, const QByteArray& bytes);

// Gives `target` the content that `write` puts into the open file it receives, without ever
// leaving a half-written target: the content goes to a new file in the target's folder, is synced
// to disk and then renamed over the target. A replaced file keeps its permissions. When anything
// fails, the new file is removed, the target keeps its old content (or stays absent) and
// korimo::Error "Cannot create file \"<absolute target>\". <reason>" is raised; a korimo::Error
// raised by `write` gives the reason.
void replaceFile(const QString& target, const std::function<void(QIODevice& file)>& write);

// The picture file: the image as a bitmap, written through replaceFile().
void writePictureFile(const QImage& image, const QString& target);

} // namespace chart
} // namespace korimo
