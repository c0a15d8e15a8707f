#pragma once

#include <QObject>
#include <QStringList>

// The open-file dialog component; Options holds the stored dialog options.
class TOpenDialog : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QStringList Options READ Options WRITE setOptions)

public:
    explicit TOpenDialog(QObject *parent = nullptr);

    QStringList Options() const { return m_options; }
    void setOptions(const QStringList &options) { m_options = options; }

private:
    QStringList m_options;
};
