// The station page's request reader: whatever a client sends, the head is read or refused,
// never read past, and a complete request goes to one of the fixed resources.
#include "web/httprequest.h"
#include "web/pageserver.h"

#include "fuzzsupport.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    silenceQtMessages();
    const QByteArray bytes(reinterpret_cast<const char*>(data), int(size));
    httprequest::SLimits limits;
    limits.maxBytes = 2048;
    limits.maxHeaders = 8;
    const httprequest::SRequest request = httprequest::parse(bytes, limits);
    switch (request.state) {
    case httprequest::SRequest::EComplete:
        if (request.headBytes <= 0 || request.headBytes > bytes.size() ||
            request.headBytes > limits.maxBytes || request.headers.size() > limits.maxHeaders ||
            !request.path.startsWith('/'))
            std::abort();
        static const CPageNames names({QStringLiteral("station")},
                                      {QStringLiteral("https://station.plant")});
        (void)CPageServer::resolve(request, names);
        (void)request.queryValue("lang");
        break;
    case httprequest::SRequest::EBad:
        if (request.status < 400 || request.status > 505)
            std::abort();
        break;
    case httprequest::SRequest::EIncomplete:
        if (bytes.size() > limits.maxBytes)
            std::abort();
        break;
    }
    return 0;
}
