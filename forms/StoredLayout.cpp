#include "StoredLayout.h"

#include <QRegularExpression>

QString LayoutValue::describe() const
{
    switch (kind) {
    case Kind::Integer:
        return QString::number(integer);
    case Kind::String:
        return QLatin1Char('\'') + text + QLatin1Char('\'');
    case Kind::Identifier:
        return text;
    case Kind::Set:
        return QLatin1Char('[') + items.join(QLatin1String(", ")) + QLatin1Char(']');
    }
    return {};
}

namespace {

bool parseValue(const QString &source, LayoutValue *value)
{
    static const QRegularExpression integer(QStringLiteral("^-?[0-9]+$"));
    static const QRegularExpression identifier(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    const QString text = source.trimmed();
    if (text.size() >= 2 && text.startsWith(QLatin1Char('\'')) && text.endsWith(QLatin1Char('\''))) {
        QString inner = text.mid(1, text.size() - 2);
        if (inner.remove(QLatin1String("''")).contains(QLatin1Char('\'')))
            return false;
        value->kind = LayoutValue::Kind::String;
        value->text = text.mid(1, text.size() - 2).replace(QLatin1String("''"), QLatin1String("'"));
        return true;
    }
    if (text.startsWith(QLatin1Char('[')) && text.endsWith(QLatin1Char(']'))) {
        value->kind = LayoutValue::Kind::Set;
        for (const QString &item : text.mid(1, text.size() - 2).split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            if (!identifier.match(item.trimmed()).hasMatch())
                return false;
            value->items << item.trimmed();
        }
        return true;
    }
    if (integer.match(text).hasMatch()) {
        bool ok = false;
        value->kind = LayoutValue::Kind::Integer;
        value->integer = text.toInt(&ok);
        return ok;
    }
    if (identifier.match(text).hasMatch()) {
        value->kind = LayoutValue::Kind::Identifier;
        value->text = text;
        return true;
    }
    return false;
}

} // namespace

bool StoredLayout::parse(const QString &text, LayoutObject *root, QString *error)
{
    static const QRegularExpression objectLine(QStringLiteral("^object\\s+(\\w+)\\s*:\\s*(\\w+)$"));
    static const QRegularExpression propertyLine(QStringLiteral("^([A-Za-z][\\w.]*)\\s*=\\s*(.+)$"));

    QList<LayoutObject *> open;
    bool rootSeen = false;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = lines.at(i).trimmed();
        const int lineNumber = i + 1;
        auto failAt = [&](const QString &why) {
            *error = QStringLiteral("line %1: %2").arg(lineNumber).arg(why);
            return false;
        };
        if (line.isEmpty())
            continue;
        if (const auto match = objectLine.match(line); match.hasMatch()) {
            LayoutObject *object = nullptr;
            if (open.isEmpty()) {
                if (rootSeen)
                    return failAt(QStringLiteral("a second top-level object"));
                rootSeen = true;
                object = root;
            } else {
                open.last()->children.append(LayoutObject());
                object = &open.last()->children.last();
            }
            object->name = match.captured(1);
            object->className = match.captured(2);
            open.append(object);
        } else if (line == QLatin1String("end")) {
            if (open.isEmpty())
                return failAt(QStringLiteral("'end' without an object"));
            open.removeLast();
        } else if (const auto match = propertyLine.match(line); match.hasMatch()) {
            LayoutProperty property{match.captured(1), {}, lineNumber};
            if (open.isEmpty())
                return failAt(QStringLiteral("a property outside any object"));
            if (!parseValue(match.captured(2), &property.value))
                return failAt(QStringLiteral("cannot read the value of %1").arg(property.name));
            open.last()->properties.append(property);
        } else {
            return failAt(QStringLiteral("cannot read '%1'").arg(line));
        }
    }
    if (!open.isEmpty() || !rootSeen) {
        *error = QStringLiteral("the layout does not close its objects");
        return false;
    }
    return true;
}
