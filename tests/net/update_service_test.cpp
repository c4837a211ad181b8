#include "net/http_client.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <utility>
#include <vector>

namespace korimo::net {
namespace {

// Runs the reference update service on an ephemeral port over a folder of its own.
class UpdateServiceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder_.isValid());
        service_.setProgram(QStringLiteral(KORIMO_UPDATE_SERVICE));
        service_.setArguments({"--port", "0", "--folder", folder_.path()});
        service_.setProcessChannelMode(QProcess::SeparateChannels);
        service_.start();
        ASSERT_TRUE(service_.waitForStarted(10000));
        QByteArray banner;
        while (!banner.contains('\n') && service_.waitForReadyRead(10000))
            banner += service_.readAllStandardOutput();
        const auto match = QRegularExpression("http://127\\.0\\.0\\.1:(\\d+)/korimo/Update\\.asp")
                               .match(QString::fromUtf8(banner));
        ASSERT_TRUE(match.hasMatch()) << banner.toStdString();
        base_ = "http://127.0.0.1:" + match.captured(1).toUtf8() + "/korimo";
    }
    void TearDown() override
    {
        service_.kill();
        service_.waitForFinished(10000);
    }
    void write(const QString& name, const QByteArray& content)
    {
        QFile file(QDir(folder_.path()).filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }

    QTemporaryDir folder_;
    QProcess service_;
    QByteArray base_;
};

TEST_F(UpdateServiceTest, AnswersTheVersionWithoutTrailingLineEnds)
{
    const std::vector<std::pair<QByteArray, QByteArray>> cases = {
        {"2.1", "2.1"},
        {"2.1\r\n", "2.1"},
        {"2.1\n\r\n", "2.1"},
        {"2.1 beta\r\n", "2.1 beta"},
        {" 2.1\r\n2.2\n", " 2.1\r\n2.2"},
        {"\xb2\xe2\xca\xd4\r\n", "\xb2\xe2\xca\xd4"},
        {"\r\n", ""},
    };
    for (const auto& [stored, expected] : cases) {
        write("version.txt", stored);
        HttpClient client;
        client.setReferer(base_);
        EXPECT_EQ(client.get(base_ + "/Update.asp?Command=Version"), expected);
        EXPECT_EQ(client.lastStatus(), 200);
    }
}

TEST_F(UpdateServiceTest, SendsTheUpdaterWithItsLength)
{
    QByteArray updater("MZ\x90\0", 4);
    for (int i = 0; i < 100000; ++i)
        updater += static_cast<char>(i * 31);
    write("Update.EXE", updater);
    write("version.txt", "2.1");

    HttpClient client;
    client.setFollowRedirects(true);
    std::vector<std::int64_t> announced;
    client.onWorkBegin = [&](std::int64_t n) { announced.push_back(n); };
    EXPECT_EQ(client.get(base_ + "/Update.asp?Command=Download&Version=2.0"), updater);
    EXPECT_EQ(announced, (std::vector<std::int64_t>{updater.size()}));
}

TEST_F(UpdateServiceTest, AnswersEverythingElseWith404)
{
    write("version.txt", "2.1");
    const QByteArray port = base_.mid(base_.lastIndexOf(':'));
    for (const QByteArray& target : {base_ + "/Update.asp", base_ + "/Update.asp?Command=Download",
                                     base_ + "/Update.asp?Command=Other", base_ + "/version.txt",
                                     base_ + "/Update.EXE", "http://127.0.0.1" + port.left(port.indexOf('/')) + "/Update.asp?Command=Version"}) {
        HttpClient client;
        EXPECT_THROW(client.get(target), HttpError) << target.toStdString();
        EXPECT_EQ(client.lastStatus(), 404) << target.toStdString();
    }
    // Download without an updater in the folder.
    HttpClient client;
    EXPECT_THROW(client.get(base_ + "/Update.asp?Command=Download&Version=2.0"), HttpError);
    EXPECT_EQ(client.lastStatus(), 404);
}

} // namespace
} // namespace korimo::net
