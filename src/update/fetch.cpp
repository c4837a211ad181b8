#include "update/fetch.h"

#include "net/http_client.h"
#include "update/version.h"

#include <exception>

namespace korimo::update {

QByteArray FetchText(const QByteArray& url)
{
    try {
        // A fresh client, so the query never carries cookies of an earlier answer.
        net::HttpClient client;
        client.setReferer(RefererFor(url));
        return client.get(url);
    } catch (const std::exception&) {
        // The caller cannot tell a failure from a service that answered "0", and need not: "0"
        // is never newer than a real version.
        return QByteArrayLiteral("0");
    }
}

} // namespace korimo::update
