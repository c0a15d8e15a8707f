#include "TestFiles.h"

#include <QFile>
#include <QFileInfo>

TestFolder::TestFolder()
    : m_previousCurrent(QDir::currentPath())
{
    QDir::setCurrent(m_dir.path());
}

TestFolder::~TestFolder()
{
    QDir::setCurrent(m_previousCurrent);
}

QString TestFolder::write(const QString &name, const QByteArray &content) const
{
    QFile file(path(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        qFatal("cannot write %s", qPrintable(file.fileName()));
    return file.fileName();
}

QString TestFolder::patterned(const QString &name, qint64 size) const
{
    constexpr qint64 WriteChunk = 4 * 1024 * 1024;
    QFile file(path(name));
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(file.fileName()));
    QByteArray chunk(WriteChunk, Qt::Uninitialized);
    for (qint64 written = 0; written < size; written += chunk.size()) {
        for (qint64 i = 0; i < chunk.size(); ++i)
            chunk[i] = char(((written + i) * 131 + (written + i) / 4093) & 0xff);
        file.write(chunk.constData(), qMin<qint64>(chunk.size(), size - written));
    }
    return file.fileName();
}

QString TestFolder::sparse(const QString &name, qint64 size) const
{
    QFile file(path(name));
    if (!file.open(QIODevice::WriteOnly) || !file.resize(size))
        qFatal("cannot make %s", qPrintable(file.fileName()));
    return file.fileName();
}

QByteArray TestFolder::read(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool TestFolder::exists(const QString &path)
{
    return QFileInfo::exists(path);
}
