#include "UploadTarget.h"

#include <algorithm>

namespace UploadTarget {

QByteArray baseUrl()
{
    return QByteArrayLiteral("http://" FILESEND_SERVER_ADDRESS ":8080/Group_Item1/");
}

namespace {

bool isControl(QChar c)
{
    return c.unicode() < 0x20 || c.unicode() == 0x7f;
}

bool isOnePathElement(const QString &name)
{
    if (name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    return std::none_of(name.begin(), name.end(), [](QChar c) {
        return c == QLatin1Char('/') || c == QLatin1Char('\\') || isControl(c);
    });
}

} // namespace

std::optional<QByteArray> targetUrl(const QByteArray &base, const QString &name)
{
    if (!isOnePathElement(name))
        return std::nullopt;
    // Leaves only A-Z a-z 0-9 - . _ ~ as they are.
    return base + name.toLocal8Bit().toPercentEncoding();
}

} // namespace UploadTarget
