#include "backup_fixture.h"
#include "platform/file_copy.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace korimo;
using namespace korimo::testing;

namespace {

class FileCopyTest : public ::testing::Test {
protected:
    FileCopyTest()
    {
        // Larger than one copy buffer, so that a copy takes several writes.
        for (int i = 0; i < 200000; ++i)
            content.append(static_cast<char>(i * 7 % 251));
        writeAll(source, content);
    }
    QString at(const QString& name) const { return dir.filePath(name); }

    QTemporaryDir dir;
    QString source = dir.filePath(QStringLiteral("source.bin"));
    QByteArray content;
};

TEST_F(FileCopyTest, CopiesEveryByteAndLeavesNoTemporary)
{
    QString why;
    ASSERT_TRUE(platform::copyFileNoReplace(source, at(QStringLiteral("copy.bin")), &why))
        << why.toStdString();
    EXPECT_EQ(readAll(at(QStringLiteral("copy.bin"))), content);
    EXPECT_EQ(namesIn(dir.path()), QStringList({QStringLiteral("copy.bin"), QStringLiteral("source.bin")}));
}

TEST_F(FileCopyTest, ExistingTargetFailsAndStaysAsItWas)
{
    writeAll(at(QStringLiteral("copy.bin")), "earlier");
    QString why;
    EXPECT_FALSE(platform::copyFileNoReplace(source, at(QStringLiteral("copy.bin")), &why));
    EXPECT_FALSE(why.isEmpty());
    EXPECT_EQ(readAll(at(QStringLiteral("copy.bin"))), QByteArray("earlier"));
    EXPECT_EQ(namesIn(dir.path()).size(), 2);
}

TEST_F(FileCopyTest, TargetAppearingDuringTheCopyIsNotReplaced)
{
    // Another copy wins the race for the name while ours is being written: the final step must
    // notice, not overwrite.
    class RacingWriter final : public platform::CopyWriter {
    public:
        explicit RacingWriter(QString target) : target_(std::move(target)) { platform::setCopyWriter(this); }
        ~RacingWriter() override { platform::setCopyWriter(nullptr); }
        bool write(int fd, const char* data, std::size_t size) override
        {
            if (!QFile::exists(target_))
                writeAll(target_, "winner");
            return ::write(fd, data, size) == static_cast<ssize_t>(size);
        }

    private:
        QString target_;
    } racing(at(QStringLiteral("copy.bin")));
    EXPECT_FALSE(platform::copyFileNoReplace(source, at(QStringLiteral("copy.bin"))));
    EXPECT_EQ(readAll(at(QStringLiteral("copy.bin"))), QByteArray("winner"));
    EXPECT_EQ(namesIn(dir.path()).size(), 2);
}

TEST_F(FileCopyTest, WriteFailingPartWayLeavesNothing)
{
    FailingWriter writer(70000);
    QString why;
    EXPECT_FALSE(platform::copyFileNoReplace(source, at(QStringLiteral("copy.bin")), &why));
    EXPECT_TRUE(writer.failed);
    EXPECT_EQ(writer.written, 70000u);
    EXPECT_TRUE(why.contains(QString::fromLocal8Bit(strerror(ENOSPC)))) << why.toStdString();
    EXPECT_EQ(namesIn(dir.path()), QStringList(QStringLiteral("source.bin")));
}

TEST_F(FileCopyTest, FailuresReportWhy)
{
    struct Case {
        const char* what;
        QString source;
        QString target;
    };
    const Case cases[] = {
        {"missing source", at(QStringLiteral("none.bin")), at(QStringLiteral("copy.bin"))},
        {"missing folder", source, at(QStringLiteral("no/such/copy.bin"))},
        {"source is a folder", dir.path(), at(QStringLiteral("copy.bin"))},
    };
    for (const Case& c : cases) {
        QString why;
        EXPECT_FALSE(platform::copyFileNoReplace(c.source, c.target, &why)) << c.what;
        EXPECT_FALSE(why.isEmpty()) << c.what;
        EXPECT_EQ(namesIn(dir.path()), QStringList(QStringLiteral("source.bin"))) << c.what;
    }
}

TEST_F(FileCopyTest, TemporaryCopyIsPrivateAndComplete)
{
    const QString temporary = platform::copyToTemporary(source, dir.path(), QStringLiteral("Data.mdb"));
    ASSERT_FALSE(temporary.isEmpty());
    EXPECT_TRUE(QFileInfo(temporary).fileName().startsWith(QStringLiteral(".Data.mdb.")));
    EXPECT_EQ(readAll(temporary), content);
    struct stat st;
    ASSERT_EQ(::stat(QFile::encodeName(temporary).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(FileCopyTest, ReplaceFileSwapsContentInOneStep)
{
    writeAll(at(QStringLiteral("target.bin")), "old");
    const QString temporary = platform::copyToTemporary(source, dir.path(), QStringLiteral("target.bin"));
    ASSERT_TRUE(platform::replaceFile(temporary, at(QStringLiteral("target.bin"))));
    EXPECT_EQ(readAll(at(QStringLiteral("target.bin"))), content);
    EXPECT_FALSE(QFile::exists(temporary));
    EXPECT_FALSE(platform::replaceFile(at(QStringLiteral("gone.bin")), at(QStringLiteral("target.bin"))));
    EXPECT_EQ(readAll(at(QStringLiteral("target.bin"))), content);
}

TEST_F(FileCopyTest, KeptNameSurvivesReplacingTheOriginal)
{
    writeAll(at(QStringLiteral("target.bin")), "old");
    const QString kept = platform::keepUnderNewName(at(QStringLiteral("target.bin")), QStringLiteral("target.bin"));
    ASSERT_FALSE(kept.isEmpty());
    writeAll(at(QStringLiteral("new.bin")), "new");
    ASSERT_TRUE(platform::replaceFile(at(QStringLiteral("new.bin")), at(QStringLiteral("target.bin"))));
    EXPECT_EQ(readAll(kept), QByteArray("old"));
    EXPECT_EQ(readAll(at(QStringLiteral("target.bin"))), QByteArray("new"));
}

} // namespace
