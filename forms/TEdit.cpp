#include "TEdit.h"

TEdit::TEdit(QWidget *parent)
    : QLineEdit(parent)
{
    setAttribute(Qt::WA_InputMethodEnabled);
}
