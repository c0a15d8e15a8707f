#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// A form's stored layout, read from its text description:
//
//   object Form1: TForm1
//     Caption = '파일전송'
//     Font.Style = [fsBold]
//     object Button1: TButton
//       Left = 123
//     end
//   end
//
// Values are integers, quoted strings ('' stands for a quote), identifiers or [sets].
struct LayoutValue
{
    enum class Kind { Integer, String, Identifier, Set };
    Kind kind = Kind::Integer;
    int integer = 0;
    QString text;
    QStringList items;

    QString describe() const;
};

struct LayoutProperty
{
    QString name;
    LayoutValue value;
    int line = 0;
};

struct LayoutObject
{
    QString name;
    QString className;
    QList<LayoutProperty> properties;
    QList<LayoutObject> children;
};

namespace StoredLayout {

// Parses one layout; on a syntax error returns false and says where in *error.
bool parse(const QString &text, LayoutObject *root, QString *error);

} // namespace StoredLayout
