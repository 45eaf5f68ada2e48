#pragma once

#include <QString>

namespace hostresolve {

// The first address of `host` (a name), looked up by the system's resolver but waited for at
// most `timeoutMs`: a resolver that does not answer (a DNS server gone) must not hold up a
// station longer than a connection that does not answer. False with `error` set when the name
// cannot be found in time; a lookup still running then is left to end on its own.
[[nodiscard]] bool resolveWithin(const QString& host, int timeoutMs, QString& address,
                                 QString& error);

// Whether `host` needs a look-up at all: not empty, not a socket folder, not an address.
bool isName(const QString& host);

} // namespace hostresolve
