#include "hostresolve.h"

#include <QHostAddress>

#include <chrono>
#include <future>
#include <netdb.h>
#include <sys/socket.h>
#include <thread>

namespace hostresolve {

bool isName(const QString& host)
{
    return !host.isEmpty() && !host.startsWith(QLatin1Char('/')) &&
           !host.startsWith(QLatin1Char('@')) && !host.contains(QLatin1Char(',')) &&
           QHostAddress(host).isNull();
}

bool resolveWithin(const QString& host, int timeoutMs, QString& address, QString& error)
{
    // The look-up owns its inputs: it may outlive this call.
    auto result = std::make_shared<std::promise<QString>>();
    std::future<QString> done = result->get_future();
    std::thread([result, name = host.toUtf8()] {
        addrinfo hints = {};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* found = nullptr;
        const int failed = ::getaddrinfo(name.constData(), nullptr, &hints, &found);
        QString text = failed != 0 || !found
                           ? QLatin1Char('!') + QString::fromLocal8Bit(::gai_strerror(failed))
                           : QHostAddress(found->ai_addr).toString();
        if (found)
            ::freeaddrinfo(found);
        result->set_value(text);
    }).detach();
    if (done.wait_for(std::chrono::milliseconds(timeoutMs)) != std::future_status::ready) {
        error = QStringLiteral("the name %1 was not resolved within %2 s")
                    .arg(host)
                    .arg(timeoutMs / 1000.0);
        return false;
    }
    const QString text = done.get();
    if (text.startsWith(QLatin1Char('!'))) {
        error = QStringLiteral("cannot resolve %1: %2").arg(host, text.mid(1));
        return false;
    }
    address = text;
    return true;
}

} // namespace hostresolve
