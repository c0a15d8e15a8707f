// Choosing the file to send: the open-file dialog answered as a user would, dropping a
// file on the window, and what the path and name boxes then hand to the send command.

#include "NginxServer.h"
#include "ScriptedServer.h"
#include "SendCommand.h"
#include "TestFiles.h"
#include "TestRegistry.h"
#include "Unit1.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QMimeData>
#include <QScopeGuard>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <functional>

using Point = ScriptedServer::Point;
using DialogCheck = std::function<void(QFileDialog *)>;

namespace {

// Long enough for every transfer here; each test stays far below it.
constexpr int TransferTimeoutMs = 30000;
// How often the answerer looks for the dialog.
constexpr int DialogPollMs = 10;
// A dialog still open this long after the click is closed, and the test fails.
constexpr int DialogDeadlineMs = 10000;
constexpr qint64 MiB = 1024 * 1024;

QByteArray pattern(qint64 size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qint64 i = 0; i < size; ++i)
        bytes[i] = char((i * 13 + i / 509) & 0xff);
    return bytes;
}

QString writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

// Answers the next open-file dialog once it is shown, as a user would: types path into
// the file name box and confirms, or cancels when path is empty.
class DialogAnswer
{
public:
    explicit DialogAnswer(const QString &path, DialogCheck check = {})
        : m_path(path)
        , m_check(std::move(check))
    {
        QObject::connect(&m_poll, &QTimer::timeout, [this] { poll(); });
        m_poll.start(DialogPollMs);
        m_sinceStart.start();
    }

    // True if the dialog appeared and closed as answered.
    bool answeredCleanly() const { return m_answered && !m_stuck; }

private:
    void poll()
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        if (!m_answered && dialog && dialog->objectName() == TOpenDialog::dialogObjectName()) {
            m_answered = true;
            if (m_check)
                m_check(dialog);
            if (m_path.isEmpty()) {
                dialog->reject();
            } else {
                auto *fileName = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
                fileName->setText(m_path);
                QTest::keyClick(fileName, Qt::Key_Return);
            }
        } else if (m_sinceStart.hasExpired(DialogDeadlineMs)) {
            // Whatever is still open (the dialog, or a warning it raised) is closed, so the test ends.
            m_stuck = true;
            if (auto *open = qobject_cast<QDialog *>(modal))
                open->reject();
        }
    }

    QString m_path;
    DialogCheck m_check;
    QTimer m_poll;
    QElapsedTimer m_sinceStart;
    bool m_answered = false;
    bool m_stuck = false;
};

// Clicks the choose button and answers the dialog with path (empty: cancel).
bool choose(TForm1 &form, const QString &path, DialogCheck check = {})
{
    DialogAnswer answer(path, std::move(check));
    form.Button2->click();
    return answer.answeredCleanly();
}

// Clicks the send button and waits for the transfer's end.
bool sendAndWait(TForm1 &form)
{
    QSignalSpy finished(form.HTTP, &TNMHTTP::finished);
    form.Button1->click();
    return finished.wait(TransferTimeoutMs);
}

// The widget a drag at pos over the form is delivered to: the innermost one that takes drops.
QWidget *dropTarget(TForm1 &form, const QPoint &pos)
{
    QWidget *widget = form.childAt(pos);
    while (widget && !widget->acceptDrops())
        widget = widget->parentWidget();
    return widget ? widget : &form;
}

QByteArray bodyOf(const QByteArray &request)
{
    return request.mid(request.indexOf("\r\n\r\n") + 4);
}

} // namespace

class TestChoose : public QObject
{
    Q_OBJECT

private slots:
    void lastCharPos_data();
    void lastCharPos();
    void dialogChoosesOneExistingFile();
    void confirmFillsPathAndName_data();
    void confirmFillsPathAndName();
    void cancelKeepsBothBoxes_data();
    void cancelKeepsBothBoxes();
    void editedNameIsSent();
    void dropOfOneLocalFileIsAChoice_data();
    void dropOfOneLocalFileIsAChoice();
    void choosingDuringATransferLeavesItAlone();
    void chosenFileArrivesAtTheRealServer();
};

void TestChoose::lastCharPos_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QChar>("ch");
    QTest::addColumn<int>("position");

    const QChar backslash = u'\\';
    QTest::newRow("empty text") << QString() << backslash << 0;
    QTest::newRow("no match") << QStringLiteral("report.txt") << backslash << 0;
    QTest::newRow("match at the first character") << QStringLiteral("\\a") << backslash << 1;
    QTest::newRow("several matches") << QStringLiteral("a\\b\\c") << backslash << 4;
    QTest::newRow("match at the last character") << QStringLiteral("a\\b\\") << backslash << 4;
    QTest::newRow("network path") << QStringLiteral("\\\\server\\share\\x.doc") << backslash << 15;
    QTest::newRow("Hangul text, counted in characters") << QStringLiteral("보고서\\자료\\문서.txt") << backslash << 7;
    QTest::newRow("Hangul character sought") << QStringLiteral("가나가나") << QChar(u'가') << 3;
    QTest::newRow("case is not folded") << QStringLiteral("Ab") << QChar(u'a') << 0;
}

void TestChoose::lastCharPos()
{
    QFETCH(QString, text);
    QFETCH(QChar, ch);
    QFETCH(int, position);

    QCOMPARE(TForm1::LastCharPos(text, ch), position);
}

void TestChoose::dialogChoosesOneExistingFile()
{
    TForm1 form;
    QCOMPARE(form.OpenDialog1->Options(), QStringList({QStringLiteral("ofHideReadOnly"), QStringLiteral("ofEnableSizing")}));
    const bool answered = choose(form, QString(), [&](QFileDialog *dialog) {
        QCOMPARE(dialog->fileMode(), QFileDialog::ExistingFile);
        QCOMPARE(dialog->acceptMode(), QFileDialog::AcceptOpen);
        QCOMPARE(dialog->parentWidget(), &form);
        QVERIFY(dialog->isModal());
        QVERIFY(dialog->defaultSuffix().isEmpty());
        QVERIFY(dialog->maximumSize() != dialog->minimumSize());
    });
    QVERIFY(answered);
    QVERIFY(form.OpenDialog1->Files().isEmpty());
}

void TestChoose::confirmFillsPathAndName_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("name");

    // An empty folder stands for a fresh temporary one, away from the current directory.
    QTest::newRow("inner blanks stay") << QString() << QStringLiteral("report 2.txt");
    QTest::newRow("Hangul in folder and name") << QStringLiteral("자료") << QStringLiteral("보고서.txt");
    QTest::newRow("trailing ideographic space is not trimmed") << QString() << QStringLiteral("메모\u3000");
    QTest::newRow("file in the root directory") << QStringLiteral("/") << QStringLiteral("filesend-test-root.bin");
}

void TestChoose::confirmFillsPathAndName()
{
    QFETCH(QString, folder);
    QFETCH(QString, name);

    QTemporaryDir elsewhere;
    const QDir dir(folder.startsWith(QLatin1Char('/')) ? folder : elsewhere.filePath(folder));
    QVERIFY(dir.mkpath(QStringLiteral(".")));
    const QString path = writeFile(dir.filePath(name), "content");
    const auto removeFile = qScopeGuard([&] { QFile::remove(path); });
    const QString current = QDir::currentPath();

    TForm1 form;
    QVERIFY(choose(form, path));
    QCOMPARE(form.OpenDialog1->Files(), QDir::toNativeSeparators(path) + QLatin1String("\r\n"));
    QCOMPARE(form.Edit1->Text(), QDir::toNativeSeparators(path));
    QCOMPARE(form.Edit2->Text(), name);
    // "Head.txt" still lands where the program was started.
    QCOMPARE(QDir::currentPath(), current);
}

void TestChoose::cancelKeepsBothBoxes_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("name");

    QTest::newRow("empty boxes") << QString() << QString();
    QTest::newRow("hand-edited boxes") << QStringLiteral("/자료/손으로 쓴 경로.txt") << QStringLiteral("다른 이름.txt");
}

void TestChoose::cancelKeepsBothBoxes()
{
    QFETCH(QString, path);
    QFETCH(QString, name);

    TForm1 form;
    form.Edit1->setText(path);
    form.Edit2->setText(name);
    QVERIFY(choose(form, QString()));
    QCOMPARE(form.Edit1->Text(), path);
    QCOMPARE(form.Edit2->Text(), name);
}

void TestChoose::editedNameIsSent()
{
    TestFolder folder;
    const QString path = folder.write(QStringLiteral("proposed.txt"), "payload");
    ScriptedServer server;
    server.acceptAfterBody();
    server.start();

    TForm1 form(nullptr, server.baseUrl());
    QVERIFY(choose(form, path));
    QCOMPARE(form.Edit2->Text(), QStringLiteral("proposed.txt"));
    form.Edit2->selectAll();
    QTest::keyClicks(form.Edit2, QStringLiteral("edited.txt"));
    QVERIFY(sendAndWait(form));
    QCOMPARE(form.Label1->Caption(), SendCommand::succeededText());
    QVERIFY(server.received().startsWith("PUT /Group_Item1/edited.txt HTTP/1.0\r\n"));
    QCOMPARE(bodyOf(server.received()), QByteArray("payload"));
}

void TestChoose::dropOfOneLocalFileIsAChoice_data()
{
    QTest::addColumn<QStringList>("urls");
    QTest::addColumn<bool>("overPathBox");
    QTest::addColumn<bool>("accepted");

    // %1 is the folder holding a.txt, b.txt and the folder sub.
    QTest::newRow("one file") << QStringList{QStringLiteral("file://%1/a.txt")} << false << true;
    QTest::newRow("one file over the path box") << QStringList{QStringLiteral("file://%1/a.txt")} << true << true;
    QTest::newRow("several files")
        << QStringList{QStringLiteral("file://%1/a.txt"), QStringLiteral("file://%1/b.txt")} << false << false;
    QTest::newRow("folder") << QStringList{QStringLiteral("file://%1/sub")} << false << false;
    QTest::newRow("missing file") << QStringList{QStringLiteral("file://%1/gone.txt")} << false << false;
    QTest::newRow("URL that is not local") << QStringList{QStringLiteral("http://127.0.0.1/x")} << false << false;
    QTest::newRow("text, no URL") << QStringList() << false << false;
}

void TestChoose::dropOfOneLocalFileIsAChoice()
{
    QFETCH(QStringList, urls);
    QFETCH(bool, overPathBox);
    QFETCH(bool, accepted);

    TestFolder folder;
    const QString file = folder.write(QStringLiteral("a.txt"), "a");
    folder.write(QStringLiteral("b.txt"), "b");
    QVERIFY(QDir(folder.path(QString())).mkdir(QStringLiteral("sub")));
    QMimeData data;
    QList<QUrl> dragged;
    for (const QString &url : urls)
        dragged << QUrl(QString(url).replace(QLatin1String("%1"), QDir(folder.path(QString())).absolutePath()));
    if (dragged.isEmpty())
        data.setText(file);
    else
        data.setUrls(dragged);

    TForm1 form;
    const QString earlierPath = QStringLiteral("이전 경로");
    const QString earlierName = QStringLiteral("이전 이름");
    form.Edit1->setText(earlierPath);
    form.Edit2->setText(earlierName);
    const QPoint pos = overPathBox ? form.Edit1->geometry().center() : QPoint(1, 1);
    QWidget *target = dropTarget(form, pos);
    QCOMPARE(target, static_cast<QWidget *>(&form));

    // Shift makes the source propose a move, which must not be taken.
    const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction;
    QDragEnterEvent enter(pos, actions, &data, Qt::LeftButton, Qt::ShiftModifier);
    QCoreApplication::sendEvent(target, &enter);
    QCOMPARE(enter.isAccepted(), accepted);
    QDragMoveEvent move(pos, actions, &data, Qt::LeftButton, Qt::ShiftModifier);
    QCoreApplication::sendEvent(target, &move);
    QCOMPARE(move.isAccepted(), accepted);
    QDropEvent drop(pos, actions, &data, Qt::LeftButton, Qt::ShiftModifier);
    QCoreApplication::sendEvent(target, &drop);
    QCOMPARE(drop.isAccepted(), accepted);
    if (accepted) {
        QCOMPARE(drop.dropAction(), Qt::CopyAction);
        QCOMPARE(form.Edit1->Text(), QDir::toNativeSeparators(file));
        QCOMPARE(form.Edit2->Text(), QStringLiteral("a.txt"));
    } else {
        QCOMPARE(form.Edit1->Text(), earlierPath);
        QCOMPARE(form.Edit2->Text(), earlierName);
    }
}

void TestChoose::choosingDuringATransferLeavesItAlone()
{
    TestFolder folder;
    const QByteArray content = pattern(4 * MiB);
    const QString first = folder.write(QStringLiteral("first.bin"), content);
    const QString second = folder.write(QStringLiteral("second.bin"), "second");
    // The server holds its reply until the choice is made, so the transfer outlasts it;
    // the wait is bounded, so a failing test still ends.
    QSemaphore replyAllowed;
    ScriptedServer server;
    server.call(Point::AfterBody, [&replyAllowed] { replyAllowed.tryAcquire(1, TransferTimeoutMs); })
        .acceptAfterBody();
    server.start();

    TForm1 form(nullptr, server.baseUrl());
    form.Edit1->setText(first);
    form.Edit2->setText(QStringLiteral("first.bin"));
    QSignalSpy finished(form.HTTP, &TNMHTTP::finished);
    form.Button1->click();
    QVERIFY(form.HTTP->isBusy());
    bool busyWhileChoosing = false;
    QVERIFY(choose(form, second, [&](QFileDialog *) { busyWhileChoosing = form.HTTP->isBusy(); }));
    replyAllowed.release();
    QVERIFY(busyWhileChoosing);
    QCOMPARE(form.Edit1->Text(), QDir::toNativeSeparators(second));
    QCOMPARE(form.Edit2->Text(), QStringLiteral("second.bin"));

    QVERIFY(finished.count() == 1 || finished.wait(TransferTimeoutMs));
    QCOMPARE(form.Label1->Caption(), SendCommand::succeededText());
    QVERIFY(server.received().startsWith("PUT /Group_Item1/first.bin HTTP/1.0\r\n"));
    QVERIFY(bodyOf(server.received()) == content);
}

void TestChoose::chosenFileArrivesAtTheRealServer()
{
    TestFolder folder;
    NginxServer nginx;
    QVERIFY2(nginx.start(), qPrintable(nginx.errorString()));
    const QString name = QStringLiteral("주간 보고 2.bin");
    const QByteArray content = pattern(MiB + 17);
    const QString path = folder.write(name, content);

    TForm1 form(nullptr, nginx.baseUrl());
    QVERIFY(choose(form, path));
    QCOMPARE(form.Edit2->Text(), name);
    QVERIFY(sendAndWait(form));
    QCOMPARE(form.Label1->Caption(), SendCommand::succeededText());
    QVERIFY(TestFolder::read(nginx.storedPath(name)) == content);
}

FILESEND_TEST(TestChoose, "choose")

#include "tst_choose.moc"
