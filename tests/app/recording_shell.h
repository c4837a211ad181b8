#pragma once

#include "platform/shell.h"

#include <QStringList>

namespace korimo::testing {

// Records the documents the program asks the desktop to open.
class RecordingShell final : public platform::Shell {
public:
    RecordingShell() { platform::setShell(this); }
    ~RecordingShell() override { platform::setShell(nullptr); }
    RecordingShell(const RecordingShell&) = delete;
    RecordingShell& operator=(const RecordingShell&) = delete;

    void openDocument(const QString& path) override { opened << path; }
    QStringList opened;
};

} // namespace korimo::testing
