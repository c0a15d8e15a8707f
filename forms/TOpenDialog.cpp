#include "TOpenDialog.h"

#include <QDir>
#include <QFileDialog>

TOpenDialog::TOpenDialog(QObject *parent)
    : QObject(parent)
{
}

QString TOpenDialog::filesText(const QStringList &paths)
{
    QString text;
    for (const QString &path : paths)
        text += QDir::toNativeSeparators(path) + QLatin1String("\r\n");
    return text;
}

bool TOpenDialog::Execute()
{
    m_files.clear();
    // Native dialogs stay allowed, so the desktop's own dialog appears where it offers one;
    // the offscreen platform offers none, so tests meet Qt's dialog and can answer it.
    QFileDialog dialog(qobject_cast<QWidget *>(parent()));
    dialog.setObjectName(dialogObjectName());
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    m_files = filesText(dialog.selectedFiles());
    return true;
}
