#include "TForm.h"

#include "StoredLayout.h"
#include "TButton.h"
#include "TEdit.h"
#include "TLabel.h"
#include "TOpenDialog.h"

#include <QApplication>
#include <QFile>
#include <QFontDatabase>
#include <QMetaProperty>
#include <QPalette>
#include <QRawFont>

#include <algorithm>

namespace {

QHash<QString, TForm::ComponentFactory> &componentClasses()
{
    static QHash<QString, TForm::ComponentFactory> classes;
    return classes;
}

void registerStandardClasses()
{
    static const bool registered = [] {
        TForm::registerComponentClass<TButton>(QStringLiteral("TButton"));
        TForm::registerComponentClass<TEdit>(QStringLiteral("TEdit"));
        TForm::registerComponentClass<TLabel>(QStringLiteral("TLabel"));
        TForm::registerComponentClass<TOpenDialog>(QStringLiteral("TOpenDialog"));
        return true;
    }();
    Q_UNUSED(registered);
}

QColor namedColor(const QString &name, bool *ok)
{
    *ok = true;
    const QPalette palette = QApplication::palette();
    if (name == QLatin1String("clBtnFace"))
        return palette.color(QPalette::Button);
    if (name == QLatin1String("clWindowText"))
        return palette.color(QPalette::WindowText);
    if (name == QLatin1String("clRed"))
        return QColor(0xff, 0, 0);
    if (name == QLatin1String("clBlue"))
        return QColor(0, 0, 0xff);
    *ok = false;
    return {};
}

} // namespace

TForm::TForm(QWidget *parent)
    : QWidget(parent)
{
    registerStandardClasses();
}

void TForm::registerComponentClass(const QString &className, ComponentFactory factory)
{
    componentClasses().insert(className, std::move(factory));
}

QString TForm::familyWithHangul(const QString &requested)
{
    const QString sample = QStringLiteral("파일전송경로");
    auto coversHangul = [&](const QString &family) {
        const QRawFont raw = QRawFont::fromFont(QFont(family));
        return raw.isValid() && std::all_of(sample.begin(), sample.end(),
                                            [&](QChar c) { return raw.supportsCharacter(c); });
    };
    const QStringList installed = QFontDatabase::families();
    if (installed.contains(requested) && coversHangul(requested))
        return requested;
    // NanumBarunGothic first: at 11 pixels NanumGothic draws "." like ",", which misleads in paths.
    static const QStringList preferred = {QStringLiteral("NanumBarunGothic"), QStringLiteral("NanumGothic"),
                                          QStringLiteral("Noto Sans CJK KR"),
                                          QStringLiteral("Malgun Gothic"), QStringLiteral("Gulim")};
    for (const QString &family : preferred) {
        if (installed.contains(family) && coversHangul(family))
            return family;
    }
    for (const QString &family : QFontDatabase::families(QFontDatabase::Korean)) {
        if (coversHangul(family))
            return family;
    }
    return requested;
}

void TForm::loadLayout(const QString &path)
{
    m_layoutPath = path;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read the stored layout %s", qPrintable(path));
    LayoutObject root;
    QString error;
    if (!StoredLayout::parse(QString::fromUtf8(file.readAll()), &root, &error))
        qFatal("stored layout %s: %s", qPrintable(path), qPrintable(error));

    setObjectName(root.name);
    for (const LayoutProperty &property : root.properties)
        applyFormProperty(property);
    for (const LayoutObject &child : root.children)
        createComponent(child);
    applyTabOrder();
}

void TForm::applyFormProperty(const LayoutProperty &property)
{
    const QString &name = property.name;
    const LayoutValue &value = property.value;
    if (name == QLatin1String("Left") || name == QLatin1String("Top")) {
        move(name == QLatin1String("Left") ? QPoint(value.integer, y()) : QPoint(x(), value.integer));
    } else if (name == QLatin1String("Width")) {
        // Stored sizes are outer sizes of the classic frame; Qt sizes the client area.
        resize(value.integer - 2 * ClassicBorder, height());
    } else if (name == QLatin1String("Height")) {
        resize(width(), value.integer - 2 * ClassicBorder - ClassicCaption);
    } else if (name == QLatin1String("Position") || name == QLatin1String("BorderStyle")) {
        // Only the designed position and the sizeable border exist here; both are Qt's default.
        if (value.text != QLatin1String("poDesigned") && value.text != QLatin1String("bsSizeable"))
            layoutError(property, QStringLiteral("unsupported value"));
    } else if (name == QLatin1String("Color")) {
        bool ok = false;
        const QColor color = namedColor(value.text, &ok);
        if (!ok)
            layoutError(property, QStringLiteral("unknown colour"));
        QPalette palette = this->palette();
        palette.setColor(QPalette::Window, color);
        setPalette(palette);
        setAutoFillBackground(true);
    } else if (!applyFontProperty(this, property)) {
        applyComponentProperty(this, property);
    }
}

void TForm::createComponent(const LayoutObject &object)
{
    const auto factory = componentClasses().constFind(object.className);
    if (factory == componentClasses().constEnd())
        qFatal("stored layout %s: unknown class %s", qPrintable(m_layoutPath), qPrintable(object.className));
    QObject *component = (*factory)(this);
    component->setObjectName(object.name);
    QWidget *control = qobject_cast<QWidget *>(component);
    for (const LayoutProperty &property : object.properties) {
        if (control)
            applyControlProperty(control, property);
        else
            applyComponentProperty(component, property);
    }
}

void TForm::applyControlProperty(QWidget *control, const LayoutProperty &property)
{
    const QString &name = property.name;
    const int value = property.value.integer;
    if (name == QLatin1String("Left")) {
        control->move(value, control->y());
    } else if (name == QLatin1String("Top")) {
        control->move(control->x(), value);
    } else if (name == QLatin1String("Width")) {
        control->resize(value, control->height());
    } else if (name == QLatin1String("Height")) {
        control->resize(control->width(), value);
    } else if (name == QLatin1String("TabOrder")) {
        m_tabOrder.append({value, control});
    } else if (name == QLatin1String("OnClick")) {
        const QByteArray handler = QMetaObject::normalizedSignature(qPrintable(property.value.text + QLatin1String("()")));
        const int method = metaObject()->indexOfMethod(handler.constData());
        const int clicked = control->metaObject()->indexOfSignal("clicked()");
        if (method < 0 || clicked < 0)
            layoutError(property, QStringLiteral("no such handler"));
        QObject::connect(control, control->metaObject()->method(clicked), this, metaObject()->method(method));
    } else if (!applyFontProperty(control, property)) {
        applyComponentProperty(control, property);
    }
}

bool TForm::applyFontProperty(QWidget *control, const LayoutProperty &property)
{
    const QString &name = property.name;
    const LayoutValue &value = property.value;
    if (!name.startsWith(QLatin1String("Font.")))
        return false;
    QFont font = control->font();
    if (name == QLatin1String("Font.Name")) {
        font.setFamilies({familyWithHangul(value.text)});
    } else if (name == QLatin1String("Font.Height")) {
        // A negative height is the character height in pixels, without internal leading.
        if (value.integer >= 0)
            layoutError(property, QStringLiteral("only negative (pixel) heights are supported"));
        font.setPixelSize(-value.integer);
    } else if (name == QLatin1String("Font.Style")) {
        for (const QString &style : value.items) {
            if (style != QLatin1String("fsBold"))
                layoutError(property, QStringLiteral("unsupported style %1").arg(style));
        }
        font.setBold(value.items.contains(QLatin1String("fsBold")));
    } else if (name == QLatin1String("Font.Color")) {
        bool ok = false;
        const QColor color = namedColor(value.text, &ok);
        if (!ok)
            layoutError(property, QStringLiteral("unknown colour"));
        QPalette palette = control->palette();
        for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text})
            palette.setColor(role, color);
        control->setPalette(palette);
    } else if (name == QLatin1String("Font.Charset")) {
        // Qt picks glyphs by Unicode; the platform's default character set is all there is.
        if (value.text != QLatin1String("DEFAULT_CHARSET"))
            layoutError(property, QStringLiteral("unsupported character set"));
    } else {
        layoutError(property, QStringLiteral("unknown font property"));
    }
    control->setFont(font);
    return true;
}

void TForm::applyComponentProperty(QObject *component, const LayoutProperty &property)
{
    const LayoutValue &value = property.value;
    const int index = component->metaObject()->indexOfProperty(qPrintable(property.name));
    if (index < 0)
        layoutError(property, QStringLiteral("%1 has no such property").arg(component->metaObject()->className()));
    QVariant stored;
    switch (value.kind) {
    case LayoutValue::Kind::Integer:
        stored = value.integer;
        break;
    case LayoutValue::Kind::String:
        stored = value.text;
        break;
    case LayoutValue::Kind::Identifier:
        if (value.text != QLatin1String("True") && value.text != QLatin1String("False"))
            layoutError(property, QStringLiteral("unknown identifier"));
        stored = value.text == QLatin1String("True");
        break;
    case LayoutValue::Kind::Set:
        stored = value.items;
        break;
    }
    if (!component->metaObject()->property(index).write(component, stored))
        layoutError(property, QStringLiteral("the value does not fit"));
}

void TForm::applyTabOrder()
{
    std::stable_sort(m_tabOrder.begin(), m_tabOrder.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    for (int i = 1; i < m_tabOrder.size(); ++i)
        QWidget::setTabOrder(m_tabOrder.at(i - 1).second, m_tabOrder.at(i).second);
    // The first control in tab order takes the focus when the window is first activated.
    if (!m_tabOrder.isEmpty())
        m_tabOrder.first().second->setFocus(Qt::OtherFocusReason);
}

void TForm::layoutError(const LayoutProperty &property, const QString &why) const
{
    qFatal("stored layout %s, line %d: %s = %s: %s", qPrintable(m_layoutPath), property.line,
           qPrintable(property.name), qPrintable(property.value.describe()), qPrintable(why));
}
