// The window sends to a real nginx: what the user typed arrives byte for byte.

#include "NginxServer.h"
#include "SendCommand.h"
#include "TestFiles.h"
#include "TestRegistry.h"
#include "Unit1.h"

#include <QCryptographicHash>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

namespace {

constexpr qint64 MiB = 1024 * 1024;
constexpr int TransferTimeoutMs = 60000;

QByteArray sha256Of(const QString &path)
{
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!file.open(QIODevice::ReadOnly) || !hash.addData(&file))
        return {};
    return hash.result();
}

} // namespace

class TestEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void fileArrivesUnderItsName_data();
    void fileArrivesUnderItsName();
    void emptyNameSendsToTheFolderAndTheServerDecides();

private:
    NginxServer m_nginx;
};

void TestEndToEnd::initTestCase()
{
    QVERIFY2(m_nginx.start(), qPrintable(m_nginx.errorString()));
}

void TestEndToEnd::fileArrivesUnderItsName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<qint64>("size");

    QTest::newRow("text file") << QStringLiteral("report.txt") << qint64(1234);
    QTest::newRow("empty file") << QStringLiteral("empty.bin") << qint64(0);
    QTest::newRow("name with a blank and Hangul") << QStringLiteral("보고서 2.txt") << qint64(4096);
    QTest::newRow("256 MiB") << QStringLiteral("large.bin") << 256 * MiB;
}

void TestEndToEnd::fileArrivesUnderItsName()
{
    QFETCH(QString, name);
    QFETCH(qint64, size);

    TestFolder folder;
    const QString path = folder.patterned(QStringLiteral("source"), size);
    TForm1 form(nullptr, m_nginx.baseUrl());
    form.show();
    form.Edit1->setText(path);
    form.Edit2->setText(name);
    QSignalSpy finished(form.HTTP, &TNMHTTP::finished);
    QTest::mouseClick(form.Button1, Qt::LeftButton);
    QVERIFY(finished.wait(TransferTimeoutMs));

    QCOMPARE(form.Label1->Caption(), SendCommand::succeededText());
    QCOMPARE(QFileInfo(m_nginx.storedPath(name)).size(), size);
    QCOMPARE(sha256Of(m_nginx.storedPath(name)), sha256Of(path));
    QVERIFY(TestFolder::read(QStringLiteral("Head.txt")).startsWith("HTTP/1.1 201 Created\r\n"));
}

void TestEndToEnd::emptyNameSendsToTheFolderAndTheServerDecides()
{
    TestFolder folder;
    TForm1 form(nullptr, m_nginx.baseUrl());
    form.Edit1->setText(folder.write(QStringLiteral("f"), "x"));
    QSignalSpy finished(form.HTTP, &TNMHTTP::finished);
    form.Button1Click();
    QVERIFY(finished.wait(TransferTimeoutMs));

    // nginx does not store a file as its folder.
    QCOMPARE(form.Label1->Caption(), SendCommand::failedText());
    QCOMPARE(form.HTTP->failure(), TNMHTTP::Failure::HttpStatus);
    QVERIFY(TestFolder::read(QStringLiteral("Head.txt")).startsWith("HTTP/1.1 409"));
}

FILESEND_TEST(TestEndToEnd, "endtoend")

#include "tst_endtoend.moc"
