#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

// The open-file dialog component. Execute() shows the desktop's open-file dialog
// modally over the owning window and lets the user choose one existing file.
// Qt's dialog is always resizable and has no read-only box, so the stored options
// ofEnableSizing and ofHideReadOnly hold without further settings.
class TOpenDialog : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QStringList Options READ Options WRITE setOptions)
    Q_PROPERTY(QString Files READ Files)

public:
    // The object name of the dialog while Execute() shows it.
    static QString dialogObjectName() { return QStringLiteral("TOpenDialog_dialog"); }

    explicit TOpenDialog(QObject *parent = nullptr);

    QStringList Options() const { return m_options; }
    void setOptions(const QStringList &options) { m_options = options; }

    // The chosen files as one text: each path in the system's form, followed by CR LF.
    QString Files() const { return m_files; }
    static QString filesText(const QStringList &paths);

    // Shows the dialog; true if the user confirmed a choice, false if they cancelled.
    bool Execute();

private:
    QStringList m_options;
    QString m_files;
};
