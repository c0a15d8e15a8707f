#pragma once

#include <QByteArray>
#include <QList>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include "UploadServer.h"

// Uploads files of each size to our own server, taking turns between the window's HTTP
// component, curl and a sendfile(2) client, and prints one table of the figures.
class Benchmark
{
public:
    enum class Mode {
        Full,   // every size, several rounds
        Smoke,  // the two small sizes, one round: does every upload still arrive whole?
    };

    explicit Benchmark(Mode mode);

    // Returns 0 when every upload arrived whole and every client reported success.
    int run();

private:
    // In the order they take turns.
    enum class Client { Component, Curl, Sendfile, Count };

    struct Run {
        double megabytesPerSecond = 0;
        qint64 peakRssKiB = -1;     // the component's process only
        qint64 loopGapUs = -1;      // the component's process only
    };
    struct SizeResult {
        qint64 bytes = 0;
        QList<Run> runs[int(Client::Count)];
    };

    bool makeFile(const QString &path, qint64 bytes);
    bool runOnce(Client client, const QString &path, Run *run);
    QProcessEnvironment componentEnvironment() const;
    QStringList arguments(Client client, const QString &path) const;
    void printTable() const;

    QList<qint64> m_sizes;
    int m_rounds = 0;
    QTemporaryDir m_folder;
    UploadServer m_server;
    QByteArray m_baseUrl;
    // The raw client repeats the component's request head byte for byte.
    QByteArray m_componentHead;
    QList<SizeResult> m_results;
};
