#pragma once

#include <QLabel>

// A caption that, with AutoSize on, takes the size of its text, growing to the right.
class TLabel : public QLabel
{
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE setCaption)
    Q_PROPERTY(bool AutoSize READ AutoSize WRITE setAutoSize)

public:
    explicit TLabel(QWidget *parent = nullptr);

    QString Caption() const { return text(); }
    void setCaption(const QString &caption);
    bool AutoSize() const { return m_autoSize; }
    void setAutoSize(bool on);

private:
    bool m_autoSize = true;
};
