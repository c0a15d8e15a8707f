#include "TOpenDialog.h"

TOpenDialog::TOpenDialog(QObject *parent)
    : QObject(parent)
{
}
