#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QString>
#include <QStringList>

// The names the station's page answers to, and the pages that may open its WebSocket. A page of
// another site in the same browser may resolve its own name to this machine (DNS rebinding):
// the Host header tells, so only names that are this machine's are served, on every path. A
// proxy in front (for TLS) either keeps the Host of the name it serves, which is then given
// here, or its page's origin is given as one allowed besides the station's own.
class CPageNames
{
public:
    // The machine's own names (its host name, with and without its domain) plus `names`;
    // `origins` as made by origin(). Names are compared without case.
    CPageNames(const QStringList& names, const QStringList& origins);

    // A Host header ("name", "name:port", "10.0.0.5:8080", "[::1]:8080") this station answers:
    // an IP literal, localhost or one of its names.
    bool hostAllowed(const QByteArray& host) const;
    // The page of `origin` may open the WebSocket of a request with `host` (already allowed):
    // the station's own address (http:// and the Host) or one of the given origins.
    bool originAllowed(const QByteArray& origin, const QByteArray& host) const;

    // "https://Station.Plant/" -> "https://station.plant": an http or https URL with a host and
    // at most a port and "/"; empty when it is none.
    static QString origin(const QString& url);
    // A host name as DNS has it ("station-3", "station-3.plant.example"), in lower case; empty
    // when it is none.
    static QString hostName(const QString& name);

private:
    QByteArrayList m_Names;   // lower case
    QByteArrayList m_Origins; // lower case, as origin() makes them
};
