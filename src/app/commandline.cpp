#include "commandline.h"

QString CCommandLineParser::option(const QString& name, bool& found, EKind kind)
{
    const QString lower = name.toLower();
    found = false;
    QString value;
    for (int i = 1; i < m_Arguments.size(); ++i) {
        const QString arg = m_Arguments.at(i).toLower();
        if (arg != QLatin1Char('-') + lower && arg != QLatin1Char('/') + lower)
            continue;
        m_Consumed[i] = true;
        found = true;
        if (kind == Value && i + 1 < m_Arguments.size()) {
            value = m_Arguments.at(i + 1);
            m_Consumed[i + 1] = true;
            break;
        }
    }
    return value;
}

QString CCommandLineParser::unrecognized() const
{
    QString out;
    for (int i = 1; i < m_Arguments.size(); ++i) {
        if (!m_Consumed.value(i, false))
            out += m_Arguments.at(i) + QLatin1Char(' ');
    }
    return out;
}

SStartOptions SStartOptions::parse(const QStringList& arguments)
{
    CCommandLineParser parser(arguments);
    SStartOptions o;
    parser.option(QStringLiteral("d"), o.debug, CCommandLineParser::Flag);
    parser.option(QStringLiteral("m"), o.manufacturing, CCommandLineParser::Flag);
    parser.option(QStringLiteral("fb"), o.forceBoot, CCommandLineParser::Flag);
    parser.option(QStringLiteral("fa"), o.forceAppl, CCommandLineParser::Flag);
    parser.option(QStringLiteral("fc"), o.fc, CCommandLineParser::Flag);
    parser.option(QStringLiteral("owner"), o.owner, CCommandLineParser::Flag);
    parser.option(QStringLiteral("ap"), o.automatic, CCommandLineParser::Flag);
    o.locale = parser.option(QStringLiteral("l"), o.localeGiven, CCommandLineParser::Value);
    o.excludedPort =
        parser.option(QStringLiteral("ec"), o.excludedGiven, CCommandLineParser::Value);
    o.serialPreset = parser.option(QStringLiteral("sn"), o.serialGiven, CCommandLineParser::Value);
    o.bundleFile = parser.option(QStringLiteral("b"), o.bundleGiven, CCommandLineParser::Value);
    o.unrecognized = parser.unrecognized();
    return o;
}
