#include "chart/chart.h"
#include "chart/chart_output.h"
#include "chart/chart_style.h"
#include "data/connection.h"
#include "data/error.h"
#include "data/query.h"
#include "scripted_dialogs.h"
#include "temp_database.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <ostream>

#include <unistd.h>

using namespace korimo;
using korimo::testing::ScriptedDialogs;
using Kind = ScriptedDialogs::Kind;

inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace {

const QString kNoCycle = QStringLiteral("请先输入周期及体温数据并绘制曲线！");
const QString kSaved = QStringLiteral("曲线保存为图片文件成功！");
const QString kNotReplaced = QStringLiteral("图片文件未替换！");

QByteArray readFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

quint32 u32(const QByteArray& b, int at) { return qFromLittleEndian<quint32>(b.constData() + at); }
qint32 i32(const QByteArray& b, int at) { return qFromLittleEndian<qint32>(b.constData() + at); }
quint16 u16(const QByteArray& b, int at) { return qFromLittleEndian<quint16>(b.constData() + at); }

// Everything in the folder, hidden files included.
QStringList folderContents(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

QString errorOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const Error& e) {
        return e.message();
    }
    return {};
}

// A device that takes `limit` bytes and then fails, like a disk that fills up mid-write.
class FillingDevice final : public QIODevice {
public:
    explicit FillingDevice(qint64 limit) : limit_(limit) { open(QIODevice::WriteOnly); }
    QByteArray taken;

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override
    {
        const qint64 room = limit_ - taken.size();
        if (room <= 0) {
            setErrorString(QStringLiteral("No space left on device"));
            return -1;
        }
        const qint64 n = std::min(room, size);
        taken.append(data, n);
        return n;
    }

private:
    qint64 limit_;
};

// The main window's pieces the save command works with: the cycles query on a fresh database and
// a chart showing a short rising line.
class SavePicture : public ::testing::Test {
protected:
    SavePicture()
    {
        conn.setConnectionString(db.connectionString());
        conn.connect();
        cycles.setSql(QStringLiteral("select * from Comment"));
        chart.leftAxis().setMinMax(36.2, 37.2);
        chart.bottomAxis().setMaximum(29);
        chart.topAxis().setMaximum(29);
        chart.lineSeries().add(5, 36.5);
        chart.lineSeries().add(15, 36.9);
    }

    void addCycle(const QString& note)
    {
        conn.execute(QStringLiteral("insert into Comment (起始日期, 天数, 说明) values (40000, 28, '%1')").arg(note));
        cycles.close();
        cycles.open();
    }
    QString path(const QString& name) const { return QDir(folder.path()).filePath(name); }
    void save() { savePictureCommand(nullptr, cycles, chart); }

    korimo::testing::TempDatabase db;
    Connection conn;
    Query cycles{conn};
    Chart chart;
    QTemporaryDir folder;
    ScriptedDialogs dialogs;
};

TEST_F(SavePicture, WritesABitmapOfTheChartsSizeUnderTheNameWithJpgAppended)
{
    addCycle(QStringLiteral("第一周期"));
    dialogs.choose(path(QStringLiteral("a")));
    save();

    ASSERT_EQ(dialogs.shown().size(), 2u);
    EXPECT_EQ(dialogs.shown()[0].kind, Kind::Save);
    EXPECT_EQ(dialogs.shown()[0].text, QStringLiteral("*.jpg|*.jpg"));
    EXPECT_EQ(dialogs.shown()[0].fileName, QStringLiteral("第一周期"));
    EXPECT_EQ(dialogs.texts(Kind::Message), QStringList{kSaved});
    EXPECT_EQ(folderContents(folder.path()), QStringList{QStringLiteral("a.jpg")});

    const QByteArray bytes = readFile(path(QStringLiteral("a.jpg")));
    ASSERT_GE(bytes.size(), 54);
    EXPECT_EQ(bytes.left(2), QByteArray("BM"));
    EXPECT_EQ(u32(bytes, 2), static_cast<quint32>(bytes.size())); // file size in the file header
    EXPECT_EQ(u32(bytes, 14), 40u);                                // information header size
    EXPECT_EQ(i32(bytes, 18), 814);
    EXPECT_EQ(i32(bytes, 22), 376); // positive: rows stored bottom-up
    EXPECT_EQ(u16(bytes, 26), 1);   // planes
    const quint16 bits = u16(bytes, 28);
    EXPECT_TRUE(bits == 24 || bits == 32) << bits;
    EXPECT_EQ(u32(bytes, 30), 0u); // no compression
    const quint32 rowBytes = (814 * bits / 8 + 3) / 4 * 4;
    EXPECT_EQ(bytes.size() - u32(bytes, 10), rowBytes * 376); // uncompressed pixel rows
}

TEST_F(SavePicture, ThePictureIsTheChartAsTheScreenShowsIt)
{
    addCycle(QStringLiteral("x"));
    dialogs.choose(path(QStringLiteral("curve")));
    save();

    QImage saved(path(QStringLiteral("curve.jpg")), "BMP");
    ASSERT_FALSE(saved.isNull());
    ASSERT_EQ(saved.size(), QSize(814, 376));
    // Half way between the two readings the red line passes.
    const QPointF on = chart.mapToPixel(10, 36.7);
    bool red = false;
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
            red = red || saved.pixelColor(std::lround(on.x()) + dx, std::lround(on.y()) + dy).rgb()
                             == chart::style::red().rgb();
    EXPECT_TRUE(red) << on.x() << "," << on.y();
    EXPECT_EQ(saved.convertToFormat(QImage::Format_RGB32), chart.renderImage());
}

TEST_F(SavePicture, AsksFirstOnlyWhenTheFileWithJpgAppendedExists)
{
    struct Case {
        QString chosen;
        QStringList existing;
        bool answer;
        QString written; // empty: nothing is written
        QStringList questions;
        QStringList messages;
    };
    const QString dir = folder.path() + QLatin1Char('/');
    const QString question = QStringLiteral("文件\"%1\"已经存在，是否替换？");
    const Case cases[] = {
        {QStringLiteral("a"), {}, false, QStringLiteral("a.jpg"), {}, {kSaved}},
        // A name that already ends in .jpg gets the suffix all the same.
        {QStringLiteral("a.jpg"), {QStringLiteral("a.jpg")}, false, QStringLiteral("a.jpg.jpg"), {}, {kSaved}},
        {QStringLiteral("a.jpg"), {QStringLiteral("a.jpg.jpg")}, true, QStringLiteral("a.jpg.jpg"),
         {question.arg(dir + QStringLiteral("a.jpg.jpg"))}, {kSaved}},
        {QStringLiteral("a"), {QStringLiteral("a.jpg")}, true, QStringLiteral("a.jpg"),
         {question.arg(dir + QStringLiteral("a.jpg"))}, {kSaved}},
        {QStringLiteral("a"), {QStringLiteral("a.jpg")}, false, QString(),
         {question.arg(dir + QStringLiteral("a.jpg"))}, {kNotReplaced}},
    };
    addCycle(QStringLiteral("n"));
    const QByteArray old("old picture\r\n\0\x01\xff", 16);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.chosen.toStdString() + " " + c.existing.join(QLatin1Char(',')).toStdString());
        for (const QString& name : folderContents(folder.path()))
            QFile::remove(path(name));
        for (const QString& name : c.existing)
            writeFile(path(name), old);
        dialogs.clear();
        dialogs.choose(path(c.chosen));
        if (!c.questions.isEmpty())
            dialogs.answer(c.answer);
        save();

        EXPECT_EQ(dialogs.texts(Kind::Confirm), c.questions);
        EXPECT_EQ(dialogs.texts(Kind::Message), c.messages);
        QStringList expected = c.existing;
        if (!c.written.isEmpty() && !expected.contains(c.written))
            expected << c.written;
        expected.sort();
        EXPECT_EQ(folderContents(folder.path()), expected);
        for (const QString& name : c.existing) {
            if (name == c.written) {
                EXPECT_EQ(readFile(path(name)).left(2), QByteArray("BM")) << "replaced";
            } else {
                EXPECT_EQ(readFile(path(name)), old) << "left byte for byte";
            }
        }
        if (!c.written.isEmpty()) {
            EXPECT_EQ(readFile(path(c.written)).left(2), QByteArray("BM"));
        }
    }
}

TEST_F(SavePicture, AnEmptyNoteProposesAnEmptyNameAndAnEmptyOrCancelledChoiceDoesNothing)
{
    addCycle(QString());
    for (const std::optional<QString>& choice : {std::optional<QString>(QString()), std::optional<QString>()}) {
        dialogs.clear();
        dialogs.choose(choice);
        save();
        ASSERT_EQ(dialogs.shown().size(), 1u);
        EXPECT_EQ(dialogs.shown()[0].kind, Kind::Save);
        EXPECT_EQ(dialogs.shown()[0].fileName, QString());
        EXPECT_TRUE(folderContents(folder.path()).isEmpty());
    }
}

TEST_F(SavePicture, WithoutACurrentCycleAsksToDrawFirstAndOpensNoDialog)
{
    // An empty list.
    cycles.open();
    save();
    EXPECT_EQ(dialogs.texts(), QStringList{kNoCycle});

    // A new row that is not stored yet has no id.
    addCycle(QStringLiteral("stored"));
    cycles.append();
    cycles.fieldByName(QStringLiteral("说明")).setAsText(QStringLiteral("new"));
    dialogs.clear();
    save();
    EXPECT_EQ(dialogs.texts(), QStringList{kNoCycle});
    EXPECT_TRUE(folderContents(folder.path()).isEmpty());
}

TEST_F(SavePicture, AFileThatCannotBeCreatedRaisesTheErrorAndShowsNoSuccess)
{
    addCycle(QStringLiteral("n"));
    QDir(folder.path()).mkdir(QStringLiteral("taken.jpg"));
    writeFile(path(QStringLiteral("plain")), "x");
    struct Case {
        QString chosen;
        QString reason;
    };
    const Case cases[] = {
        {path(QStringLiteral("missing/a")), QStringLiteral("No such file or directory")},
        {path(QStringLiteral("plain/a")), QStringLiteral("Not a directory")},
        {path(QStringLiteral("taken")), QStringLiteral("Is a directory")}, // a folder holds the name
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.chosen.toStdString());
        dialogs.clear();
        dialogs.choose(c.chosen);
        EXPECT_EQ(errorOf([&] { save(); }),
                  QStringLiteral("Cannot create file \"%1.jpg\". %2").arg(c.chosen, c.reason));
        EXPECT_TRUE(dialogs.texts(Kind::Message).isEmpty());
    }
    EXPECT_EQ(folderContents(folder.path()), (QStringList{QStringLiteral("plain"), QStringLiteral("taken.jpg")}));
    EXPECT_TRUE(folderContents(path(QStringLiteral("taken.jpg"))).isEmpty());
}

TEST_F(SavePicture, AFolderWithoutWritePermissionRaisesTheError)
{
    addCycle(QStringLiteral("n"));
    if (::geteuid() == 0) {
        // Permission bits do not stop root; no one may create files in /proc.
        dialogs.choose(QStringLiteral("/proc/a"));
        const QString message = errorOf([&] { save(); });
        EXPECT_TRUE(message.startsWith(QStringLiteral("Cannot create file \"/proc/a.jpg\". "))) << message.toStdString();
        EXPECT_GT(message.size(), QStringLiteral("Cannot create file \"/proc/a.jpg\". ").size()) << "with a reason";
        EXPECT_TRUE(dialogs.texts(Kind::Message).isEmpty());
        return;
    }
    const QString locked = path(QStringLiteral("locked"));
    ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("locked")));
    ASSERT_TRUE(QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner));
    dialogs.choose(locked + QStringLiteral("/a"));
    EXPECT_EQ(errorOf([&] { save(); }),
              QStringLiteral("Cannot create file \"%1/a.jpg\". Permission denied").arg(locked));
    EXPECT_TRUE(dialogs.texts(Kind::Message).isEmpty());
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TEST(PictureFile, AWriteThatFailsPartWayLeavesTheOldFileAndNoTemporaryFile)
{
    QTemporaryDir folder;
    const QString target = folder.filePath(QStringLiteral("a.jpg"));
    const QByteArray old("the old picture");
    writeFile(target, old);

    const QString message = errorOf([&] {
        chart::replaceFile(target, [](QIODevice& file) {
            chart::writeAll(file, QByteArray(100000, 'B'));
            throw Error(QStringLiteral("No space left on device"));
        });
    });
    EXPECT_EQ(message, QStringLiteral("Cannot create file \"%1\". No space left on device").arg(target));
    EXPECT_EQ(readFile(target), old);
    EXPECT_EQ(folderContents(folder.path()), QStringList{QStringLiteral("a.jpg")});

    // And when there was no file before, there is none after.
    const QString fresh = folder.filePath(QStringLiteral("b.jpg"));
    EXPECT_FALSE(errorOf([&] {
                     chart::replaceFile(fresh, [](QIODevice&) { throw Error(QStringLiteral("stop")); });
                 }).isEmpty());
    EXPECT_EQ(folderContents(folder.path()), QStringList{QStringLiteral("a.jpg")});
}

TEST(PictureFile, ReplacingKeepsThePermissionsOfTheOldFile)
{
    QTemporaryDir folder;
    const QString target = folder.filePath(QStringLiteral("a.jpg"));
    writeFile(target, "old");
    const auto mode = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser;
    ASSERT_TRUE(QFile::setPermissions(target, mode));
    chart::writePictureFile(QImage(4, 3, QImage::Format_RGB32), target);
    EXPECT_EQ(readFile(target).left(2), QByteArray("BM"));
    EXPECT_EQ(QFile::permissions(target) & ~(QFile::ReadOther | QFile::WriteOther | QFile::ExeOther), mode);
    EXPECT_EQ(QFile::permissions(target) & (QFile::ReadOther | QFile::ReadGroup), QFile::Permissions());
}

TEST(PictureFile, WritingRaisesTheDevicesReasonWhenItFailsPartWay)
{
    const QByteArray bytes = chart::encodeBitmap(QImage(814, 376, QImage::Format_RGB32));
    FillingDevice device(1000);
    EXPECT_EQ(errorOf([&] { chart::writeAll(device, bytes); }), QStringLiteral("No space left on device"));
    EXPECT_EQ(device.taken, bytes.left(1000));

    // A real full disk reports itself when the buffered bytes are flushed at the latest.
    QFile full(QStringLiteral("/dev/full"));
    if (!full.open(QIODevice::WriteOnly))
        GTEST_SKIP() << "/dev/full is not available";
    EXPECT_EQ(errorOf([&] { chart::writeAll(full, bytes); }), QStringLiteral("No space left on device"));
}

} // namespace
