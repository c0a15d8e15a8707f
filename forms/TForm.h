#pragma once

#include <QHash>
#include <QString>
#include <QWidget>

#include <functional>

struct LayoutObject;
struct LayoutProperty;

// A window built from its stored layout. Components are created by class name,
// named after the layout, owned by the form, and their stored values are applied by
// property name; control positions are fixed, so resizing moves nothing.
class TForm : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE setCaption)

public:
    using ComponentFactory = std::function<QObject *(QWidget *owner)>;

    // The classic sizeable frame around the client area: a border of 4 and a caption of 19.
    static constexpr int ClassicBorder = 4;
    static constexpr int ClassicCaption = 19;

    explicit TForm(QWidget *parent = nullptr);

    QString Caption() const { return windowTitle(); }
    void setCaption(const QString &caption) { setWindowTitle(caption); }

    // Makes className available to stored layouts.
    static void registerComponentClass(const QString &className, ComponentFactory factory);
    template<typename Component>
    static void registerComponentClass(const QString &className)
    {
        registerComponentClass(className, [](QWidget *owner) -> QObject * { return new Component(owner); });
    }

    // The family used for a requested one: itself if it has Hangul glyphs, or else one that has.
    static QString familyWithHangul(const QString &requested);

protected:
    // Builds the form and its components from the layout in the resource or file at path.
    void loadLayout(const QString &path);

private:
    void applyFormProperty(const LayoutProperty &property);
    void applyControlProperty(QWidget *control, const LayoutProperty &property);
    bool applyFontProperty(QWidget *control, const LayoutProperty &property);
    void applyComponentProperty(QObject *component, const LayoutProperty &property);
    void createComponent(const LayoutObject &object);
    void applyTabOrder();
    [[noreturn]] void layoutError(const LayoutProperty &property, const QString &why) const;

    QString m_layoutPath;
    QList<QPair<int, QWidget *>> m_tabOrder;
};
