#include "platform/shell.h"

#include <QDesktopServices>
#include <QUrl>

namespace korimo::platform {
namespace {

class DesktopShell final : public Shell {
public:
    void openDocument(const QString& path) override
    {
        // The desktop opener runs on its own; its result is not looked at.
        QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    }
};

Shell* current = nullptr;

} // namespace

Shell& shell()
{
    static DesktopShell real;
    return current != nullptr ? *current : real;
}

void setShell(Shell* replacement)
{
    current = replacement;
}

} // namespace korimo::platform
