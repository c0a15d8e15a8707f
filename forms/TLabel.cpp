#include "TLabel.h"

TLabel::TLabel(QWidget *parent)
    : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
    adjustSize();
}

void TLabel::setCaption(const QString &caption)
{
    setText(caption);
    if (m_autoSize)
        adjustSize();
}

void TLabel::setAutoSize(bool on)
{
    m_autoSize = on;
    if (m_autoSize)
        adjustSize();
}
