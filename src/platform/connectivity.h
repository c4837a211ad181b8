#pragma once

#include <QByteArray>

namespace korimo::platform {

// "Can the server of this URL be reached right now?" Asked before the update window opens, so
// that an offline user gets one clear message instead of a window full of failed answers.
class Connectivity {
public:
    virtual ~Connectivity() = default;
    virtual bool canConnect(const QByteArray& url) = 0;
};

// The implementation in use: the real one unless a test installed another one.
Connectivity& connectivity();
// Installs an implementation (not owned); nullptr restores the real one.
void setConnectivity(Connectivity* replacement);

// The real test: a TCP connection to the URL's host and port (80 unless the URL names one), made
// and closed again within timeoutMs. False for a URL without a usable host or port.
bool canOpenTcpConnection(const QByteArray& url, int timeoutMs);

} // namespace korimo::platform
