#pragma once

#include <QPushButton>

// A push button that is never a default button: Space and Enter click it only while it
// has the focus.
class TButton : public QPushButton
{
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE setCaption)

public:
    explicit TButton(QWidget *parent = nullptr);

    QString Caption() const { return text(); }
    void setCaption(const QString &caption) { setText(caption); }

protected:
    void keyPressEvent(QKeyEvent *event) override;
};
