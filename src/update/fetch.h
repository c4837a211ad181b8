#pragma once

#include <QByteArray>

namespace korimo::update {

// One GET on a client of its own, with the Referer the service expects. Returns the answer body
// byte for byte (no trimming, no decoding), or "0" on any failure: no connection, an error status,
// a redirect (not followed here), a broken answer. Blocks the calling thread; shows nothing.
QByteArray FetchText(const QByteArray& url);

} // namespace korimo::update
