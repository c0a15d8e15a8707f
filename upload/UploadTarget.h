#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Where uploads go: the fixed base URL and the target URL of one name.
namespace UploadTarget {

// "http://" + the build-time server address + ":8080/Group_Item1/".
QByteArray baseUrl();

// The base URL followed by the name, percent-encoded byte by byte in the system's
// 8-bit encoding. No value when the name is not one path element ("." or "..",
// or holding "/", "\" or a control character); the empty name means the folder itself.
std::optional<QByteArray> targetUrl(const QByteArray &base, const QString &name);

} // namespace UploadTarget
