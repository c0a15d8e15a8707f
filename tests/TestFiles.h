#pragma once

#include <QByteArray>
#include <QDir>
#include <QString>
#include <QTemporaryDir>

// Files for tests, in a temporary folder that is also the current directory while the
// object lives, so that "Head.txt" lands there.
class TestFolder
{
public:
    TestFolder();
    ~TestFolder();

    QString path(const QString &name) const { return m_dir.filePath(name); }
    QString write(const QString &name, const QByteArray &content) const;
    // A file of the given size whose bytes differ from place to place, written in chunks.
    QString patterned(const QString &name, qint64 size) const;
    // A file of the given size that takes no disk space.
    QString sparse(const QString &name, qint64 size) const;
    static QByteArray read(const QString &path);
    static bool exists(const QString &path);

private:
    QTemporaryDir m_dir;
    QString m_previousCurrent;
};
