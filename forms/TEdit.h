#pragma once

#include <QLineEdit>

// A one-line edit box. ImeName names the input method the box asks for; Qt cannot
// switch input methods by name, so the desktop's own input method serves the box,
// and text it commits (Hangul included) lands in the box.
class TEdit : public QLineEdit
{
    Q_OBJECT
    Q_PROPERTY(QString Text READ Text WRITE setText)
    Q_PROPERTY(QString ImeName READ ImeName WRITE setImeName)

public:
    explicit TEdit(QWidget *parent = nullptr);

    QString Text() const { return text(); }
    QString ImeName() const { return m_imeName; }
    void setImeName(const QString &name) { m_imeName = name; }

private:
    QString m_imeName;
};
