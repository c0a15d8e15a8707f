#include "TButton.h"

#include <QKeyEvent>

TButton::TButton(QWidget *parent)
    : QPushButton(parent)
{
    setAutoDefault(false);
    setDefault(false);
    setFocusPolicy(Qt::StrongFocus);
}

void TButton::keyPressEvent(QKeyEvent *event)
{
    // QPushButton leaves Enter to default buttons; here it clicks the focused one.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && event->modifiers() == Qt::NoModifier) {
        click();
        return;
    }
    QPushButton::keyPressEvent(event);
}
