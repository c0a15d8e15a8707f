#include "DesktopIdentity.h"

#include <QGuiApplication>
#include <QIcon>

namespace DesktopIdentity {

void apply()
{
    // The base name of filesend.desktop; Wayland and X11 desktops match the window to the entry by it.
    QGuiApplication::setDesktopFileName(QStringLiteral("filesend"));
    // A PNG, because Qt reads it without the SVG image-format plugin.
    QGuiApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/filesend.png")));
}

} // namespace DesktopIdentity
