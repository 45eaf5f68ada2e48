// The start-up inputs a user or another program controls: the command lines of the tool and of
// ventaro-cli, and the port files of virtual ports. The first byte picks the reader (bit 0 the
// port file, else bit 2 ventaro-cli's command line) and, for a command line, the text decoding
// (bit 1); the rest is the argument list, one argument per line, or the file.
#include "app/commandline.h"
#include "cli/clicommandline.h"
#include "service/portenumerator.h"
#include "web/pagenames.h"

#include "fuzzsupport.h"

#include <QTemporaryFile>

#include <cstdint>
#include <cstdlib>

namespace {
bool given(const QStringList& arguments, const char* name)
{
    const QString dash = QLatin1Char('-') + QLatin1String(name);
    const QString slash = QLatin1Char('/') + QLatin1String(name);
    for (int i = 1; i < arguments.size(); ++i) {
        const QString arg = arguments.at(i).toLower();
        if (arg == dash || arg == slash)
            return true;
    }
    return false;
}

// A value option's value is the argument after one of its occurrences.
bool followsOption(const QStringList& arguments, const char* name, const QString& value)
{
    const QString dash = QLatin1Char('-') + QLatin1String(name);
    const QString slash = QLatin1Char('/') + QLatin1String(name);
    for (int i = 1; i + 1 < arguments.size(); ++i) {
        const QString arg = arguments.at(i).toLower();
        if ((arg == dash || arg == slash) && arguments.at(i + 1) == value)
            return true;
    }
    return false;
}

void commandLine(const QByteArray& bytes, bool utf8)
{
    QStringList arguments{QStringLiteral("korvath-update")};
    for (const QByteArray& raw : bytes.split('\n'))
        arguments << (utf8 ? QString::fromUtf8(raw) : QString::fromLatin1(raw));
    const SStartOptions o = SStartOptions::parse(arguments);

    const struct
    {
        bool found;
        const char* name;
    } flags[] = {{o.debug, "d"},       {o.manufacturing, "m"}, {o.forceBoot, "fb"},
                 {o.forceAppl, "fa"},  {o.fc, "fc"},           {o.owner, "owner"},
                 {o.automatic, "ap"},  {o.localeGiven, "l"},   {o.excludedGiven, "ec"},
                 {o.serialGiven, "sn"}};
    for (const auto& flag : flags) {
        if (flag.found != given(arguments, flag.name))
            std::abort();
    }
    const struct
    {
        const QString& value;
        const char* name;
    } values[] = {{o.locale, "l"}, {o.excludedPort, "ec"}, {o.serialPreset, "sn"}};
    for (const auto& v : values) {
        if (!v.value.isEmpty() && !followsOption(arguments, v.name, v.value))
            std::abort();
    }
    int limit = 0;
    for (int i = 1; i < arguments.size(); ++i)
        limit += arguments.at(i).size() + 1;
    if (o.unrecognized.size() > limit ||
        (!o.unrecognized.isEmpty() && !o.unrecognized.endsWith(QLatin1Char(' '))))
        std::abort();
}

// ventaro-cli: whatever it accepts is within the ranges its commands rely on.
void cliCommandLine(const QByteArray& bytes, bool utf8)
{
    QStringList arguments{QStringLiteral("ventaro-cli")};
    for (const QByteArray& raw : bytes.split('\n'))
        arguments << (utf8 ? QString::fromUtf8(raw) : QString::fromLatin1(raw));
    SCliOptions o;
    QString error;
    if (!parseCliArguments(arguments, o, error)) {
        if (error.isEmpty())
            std::abort(); // a refusal always says why
        return;
    }
    if (o.help)
        return;
    bool numeric = true;
    const int serial = o.serial.toInt(&numeric);
    if ((!o.serial.isEmpty() && (!numeric || serial < 1)) || o.jobs < 0 || o.jobs > 256 ||
        o.span < -1 || o.span > 2 || o.startupMode < -1 || o.startupMode > 255 ||
        o.rebootTimeoutS < 1 || o.plotWidth < 100 || o.plotWidth > 10000 || o.plotHeight < 100 ||
        o.plotHeight > 10000 || (o.all && !o.port.isEmpty()))
        std::abort();
    // The page's names and origins are kept as they are compared.
    for (const QString& name : o.httpNames)
        if (name.isEmpty() || CPageNames::hostName(name) != name)
            std::abort();
    for (const QString& origin : o.httpOrigins)
        if (origin.isEmpty() || CPageNames::origin(origin) != origin)
            std::abort();
}

void portFile(const QByteArray& bytes)
{
    QTemporaryFile file;
    if (!file.open() || file.write(bytes) != bytes.size())
        return;
    file.close();
    SPortInfo info;
    info.portName = QStringLiteral("untouched");
    if (!CPortEnumerator::readPortFile(file.fileName(), info)) {
        if (info.portName != QLatin1String("untouched"))
            std::abort(); // a rejected file leaves the caller's value alone
        return;
    }
    if (info.portName.isEmpty() || info.portName != info.portName.trimmed())
        std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    silenceQtMessages();
    ensureCoreApplication();
    if (size < 1)
        return 0;
    const QByteArray rest(reinterpret_cast<const char*>(data + 1), int(size - 1));
    if (data[0] & 0x01)
        portFile(rest);
    else if (data[0] & 0x04)
        cliCommandLine(rest, data[0] & 0x02);
    else
        commandLine(rest, data[0] & 0x02);
    return 0;
}
