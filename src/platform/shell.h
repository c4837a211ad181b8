#pragma once

#include <QString>

namespace korimo::platform {

// Opening documents with the desktop's viewer for their type ("open"). The program does not wait
// for the viewer and says nothing when there is none or the file is missing.
class Shell {
public:
    virtual ~Shell() = default;
    virtual void openDocument(const QString& path) = 0;
};

Shell& shell();
// Installs an implementation (not owned); nullptr restores the real one.
void setShell(Shell* replacement);

} // namespace korimo::platform
