#pragma once

#include "platform/connectivity.h"
#include "platform/process.h"

#include <QGuiApplication>
#include <QCursor>
#include <QStringList>

#include <vector>

namespace korimo::testing {

// Records the updater starts and the scheduled deletions instead of doing them. Installed for
// its lifetime.
class RecordingProcesses final : public platform::Processes {
public:
    struct Start {
        QString program;
        QStringList arguments;
    };

    RecordingProcesses() { platform::setProcesses(this); }
    ~RecordingProcesses() override { platform::setProcesses(nullptr); }

    bool startDetached(const QString& program, const QStringList& arguments) override
    {
        starts.push_back({program, arguments});
        return startResult;
    }
    void scheduleDeletion(const QString& path) override { deletions << path; }

    bool startResult = true;
    std::vector<Start> starts;
    QStringList deletions;
};

// Answers the connectivity question from the test, and records each question together with the
// cursor shape that was up while it was asked.
class FakeConnectivity final : public platform::Connectivity {
public:
    explicit FakeConnectivity(bool reachable) : reachable_(reachable)
    {
        platform::setConnectivity(this);
    }
    ~FakeConnectivity() override { platform::setConnectivity(nullptr); }

    bool canConnect(const QByteArray& url) override
    {
        urls << url;
        const QCursor* cursor = QGuiApplication::overrideCursor();
        cursors.push_back(cursor != nullptr ? cursor->shape() : Qt::ArrowCursor);
        return reachable_;
    }

    QList<QByteArray> urls;
    std::vector<Qt::CursorShape> cursors;

private:
    bool reachable_;
};

} // namespace korimo::testing
