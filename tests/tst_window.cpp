// The main window as the user meets it: its controls and stored values, focus and
// keys, input method text, and how it behaves while a file is going out.

#include "ScriptedServer.h"
#include "SendCommand.h"
#include "TestFiles.h"
#include "TestRegistry.h"
#include "Unit1.h"

#include <QFile>
#include <QInputMethodEvent>
#include <QPointer>
#include <QRawFont>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {

constexpr qint64 MiB = 1024 * 1024;
constexpr int TransferTimeoutMs = 60000;
// No event may wait longer than this while a large file goes out.
constexpr qint64 MaxEventLoopGapMs = 50;
constexpr int GapProbeIntervalMs = 5;

std::unique_ptr<TForm1> shownForm(const QByteArray &baseUrl = UploadTarget::baseUrl())
{
    auto form = std::make_unique<TForm1>(nullptr, baseUrl);
    form->show();
    if (!QTest::qWaitForWindowActive(form.get()))
        qWarning("the window did not become active");
    return form;
}

} // namespace

class TestWindow : public QObject
{
    Q_OBJECT

private slots:
    void componentsFollowTheStoredLayout();
    void controls_data();
    void controls();
    void httpComponentSettings();
    void windowFrame();
    void fontsShowEveryKoreanText();
    void focusStartsOnSendButtonAndTabsInOrder();
    void keysClickOnlyTheFocusedButton_data();
    void keysClickOnlyTheFocusedButton();
    void resizingMovesNothing();
    void statusLineGrowsToTheRight();
    void inputMethodTextLandsInTheBoxes();
    void secondSendClickDuringTransferIsIgnored();
    void closingDuringTransferAbortsIt();
    void staysResponsiveAndShowsProgressDuringLargeUpload();
};

void TestWindow::componentsFollowTheStoredLayout()
{
    TForm1 form;
    QCOMPARE(form.objectName(), QStringLiteral("Form1"));
    QStringList components;
    for (QObject *child : form.children()) {
        if (!child->objectName().isEmpty())
            components << child->objectName() + QLatin1Char(':') + QLatin1String(child->metaObject()->className());
    }
    QCOMPARE(components, (QStringList{"Button1:TButton", "HTTP:TNMHTTP", "Label1:TLabel", "OpenDialog1:TOpenDialog",
                                      "Label2:TLabel", "Edit1:TEdit", "Button2:TButton", "Edit2:TEdit"}));
    QCOMPARE(form.Button1, form.findChild<TButton *>("Button1"));
    QCOMPARE(form.Edit2, form.findChild<TEdit *>("Edit2"));
    QCOMPARE(form.OpenDialog1->Options(), (QStringList{"ofHideReadOnly", "ofEnableSizing"}));
}

void TestWindow::controls_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("bold");
    QTest::addColumn<QColor>("color");

    const QColor windowText = QApplication::palette().color(QPalette::WindowText);
    const QColor blue(0, 0, 0xff);
    QTest::newRow("send button") << "Button1" << QRect(123, 61, 75, 25) << "파일전송" << true << blue;
    QTest::newRow("choose button") << "Button2" << QRect(48, 61, 75, 25) << "파일추가" << true << blue;
    QTest::newRow("path box") << "Edit1" << QRect(48, 7, 457, 21) << "" << false << windowText;
    QTest::newRow("name box") << "Edit2" << QRect(48, 32, 121, 21) << "" << false << windowText;
    QTest::newRow("path caption") << "Label2" << QRect(16, 11, -1, -1) << "경로" << false << windowText;
    QTest::newRow("status line") << "Label1" << QRect(219, 67, -1, -1) << "" << false << QColor(0xff, 0, 0);
}

void TestWindow::controls()
{
    QFETCH(QString, name);
    QFETCH(QRect, geometry);
    QFETCH(QString, text);
    QFETCH(bool, bold);
    QFETCH(QColor, color);

    TForm1 form;
    auto *control = form.findChild<QWidget *>(name);
    QVERIFY(control);
    QCOMPARE(control->pos(), geometry.topLeft());
    if (geometry.width() > 0)
        QCOMPARE(control->size(), geometry.size());
    QCOMPARE(control->property(qobject_cast<TEdit *>(control) ? "Text" : "Caption").toString(), text);
    QCOMPARE(control->font().bold(), bold);
    QCOMPARE(control->font().pixelSize(), 11);
    const QPalette::ColorRole role = qobject_cast<QAbstractButton *>(control) ? QPalette::ButtonText
                                   : qobject_cast<TEdit *>(control)          ? QPalette::Text
                                                                             : QPalette::WindowText;
    if (!qobject_cast<TEdit *>(control))
        QCOMPARE(control->palette().color(role), color);
    if (auto *edit = qobject_cast<TEdit *>(control))
        QCOMPARE(edit->ImeName(), QStringLiteral("한국어(한글) (MS-IME98)"));
}

void TestWindow::httpComponentSettings()
{
    TForm1 form;
    const TNMHTTP *http = form.HTTP;
    QCOMPARE(http->Port(), 0);
    QCOMPARE(http->Proxy(), QString());
    QCOMPARE(http->ProxyPort(), 0);
    QCOMPARE(http->InputFileMode(), false);
    QCOMPARE(http->OutputFileMode(), false);
    QCOMPARE(http->Header(), QStringLiteral("Head.txt"));
    QCOMPARE(http->Body(), QStringLiteral("Default.htm"));
    QCOMPARE(http->TimeOut(), 60000);
    QCOMPARE(UploadTarget::baseUrl(), QByteArray("http://127.0.0.1:8080/Group_Item1/"));
}

void TestWindow::windowFrame()
{
    TForm1 form;
    QCOMPARE(form.windowTitle(), QStringLiteral("파일전송"));
    QCOMPARE(form.size(), QSize(563, 90));
    QCOMPARE(form.pos(), QPoint(187, 229));
    QCOMPARE(form.palette().color(QPalette::Window), QApplication::palette().color(QPalette::Button));
    QVERIFY(form.windowFlags() & Qt::WindowMaximizeButtonHint);
    QVERIFY(form.windowFlags() & Qt::WindowMinimizeButtonHint);
    QVERIFY(form.minimumSize() != form.maximumSize());
}

void TestWindow::fontsShowEveryKoreanText()
{
    TForm1 form;
    form.Label1->setCaption(SendCommand::chooseFileText() + SendCommand::failedText() + SendCommand::succeededText()
                            + SendCommand::progressText(100));
    for (QWidget *control : form.findChildren<QWidget *>()) {
        const QString text = control->property("Caption").toString() + control->property("Text").toString();
        const QRawFont font = QRawFont::fromFont(control->font());
        QVERIFY2(font.isValid(), qPrintable(control->objectName()));
        for (QChar c : text)
            QVERIFY2(font.supportsCharacter(c), qPrintable(control->objectName() + QLatin1String(": ") + c));
    }
    QVERIFY(QRawFont::fromFont(form.font()).supportsCharacter(QChar(u'파')));
}

void TestWindow::focusStartsOnSendButtonAndTabsInOrder()
{
    const auto form = shownForm();
    QCOMPARE(QApplication::focusWidget(), form->Button1);
    const QList<QWidget *> order = {form->Edit1, form->Button2, form->Edit2, form->Button1};
    for (QWidget *next : order) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), next);
    }
}

void TestWindow::keysClickOnlyTheFocusedButton_data()
{
    QTest::addColumn<QString>("focused");
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("sends");

    QTest::newRow("Space on the send button") << "Button1" << int(Qt::Key_Space) << true;
    QTest::newRow("Enter on the send button") << "Button1" << int(Qt::Key_Return) << true;
    QTest::newRow("keypad Enter on the send button") << "Button1" << int(Qt::Key_Enter) << true;
    QTest::newRow("Enter in the path box: no default button") << "Edit1" << int(Qt::Key_Return) << false;
    QTest::newRow("Enter in the name box: no default button") << "Edit2" << int(Qt::Key_Return) << false;
}

void TestWindow::keysClickOnlyTheFocusedButton()
{
    QFETCH(QString, focused);
    QFETCH(int, key);
    QFETCH(bool, sends);

    TestFolder folder;
    const auto form = shownForm();
    auto *control = form->findChild<QWidget *>(focused);
    control->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), control);
    QTest::keyClick(control, Qt::Key(key));
    QCOMPARE(form->Label1->Caption(), sends ? SendCommand::chooseFileText() : QString());
    QVERIFY(!TestFolder::exists(QStringLiteral("Head.txt")));
}

void TestWindow::resizingMovesNothing()
{
    const auto form = shownForm();
    QList<QRect> before;
    const QList<QWidget *> controls = form->findChildren<QWidget *>();
    for (QWidget *control : controls)
        before << control->geometry();
    for (const QSize size : {QSize(900, 400), QSize(200, 40)}) {
        form->resize(size);
        QTRY_COMPARE(form->size(), size);
        for (int i = 0; i < controls.size(); ++i)
            QCOMPARE(controls.at(i)->geometry(), before.at(i));
    }
}

void TestWindow::statusLineGrowsToTheRight()
{
    TForm1 form;
    form.Label1->setCaption(SendCommand::succeededText());
    const QRect shortText = form.Label1->geometry();
    form.Label1->setCaption(SendCommand::chooseFileText());
    const QRect longText = form.Label1->geometry();
    QCOMPARE(longText.topLeft(), QPoint(219, 67));
    QCOMPARE(shortText.topLeft(), QPoint(219, 67));
    QVERIFY(longText.width() > shortText.width());
    QVERIFY(longText.width() >= form.Label1->fontMetrics().horizontalAdvance(SendCommand::chooseFileText()));
}

void TestWindow::inputMethodTextLandsInTheBoxes()
{
    const auto form = shownForm();
    for (TEdit *box : {form->Edit1, form->Edit2}) {
        box->setFocus();
        QTRY_VERIFY(box->hasFocus());
        QInputMethodEvent composing(QStringLiteral("ㅂ"), {});
        QCoreApplication::sendEvent(box, &composing);
        QInputMethodEvent commit;
        commit.setCommitString(QStringLiteral("보고서"));
        QCoreApplication::sendEvent(box, &commit);
        QCOMPARE(box->Text(), QStringLiteral("보고서"));
    }
}

void TestWindow::secondSendClickDuringTransferIsIgnored()
{
    TestFolder folder;
    const QByteArray first(8 * MiB, 'a');
    const QString firstPath = folder.write(QStringLiteral("first.bin"), first);
    const QString secondPath = folder.write(QStringLiteral("second.bin"), "second");
    ScriptedServer server;
    server.acceptAfterBody();
    server.start();

    const auto form = shownForm(server.baseUrl());
    form->Edit1->setText(firstPath);
    form->Edit2->setText(QStringLiteral("first.bin"));
    QSignalSpy finished(form->HTTP, &TNMHTTP::finished);
    QTest::mouseClick(form->Button1, Qt::LeftButton);
    QVERIFY(form->HTTP->isBusy());
    form->Edit1->setText(secondPath);
    form->Edit2->setText(QStringLiteral("second.bin"));
    QTest::mouseClick(form->Button1, Qt::LeftButton);

    QVERIFY(finished.wait(TransferTimeoutMs));
    QCOMPARE(form->Label1->Caption(), SendCommand::succeededText());
    QCOMPARE(finished.count(), 1);
    QCOMPARE(server.connections(), 1);
    QVERIFY(server.received().startsWith("PUT /Group_Item1/first.bin HTTP/1.0\r\n"));
    QVERIFY(server.received().endsWith(first));
}

void TestWindow::closingDuringTransferAbortsIt()
{
    TestFolder folder;
    const QString path = folder.write(QStringLiteral("f.bin"), QByteArray(MiB, 'x'));
    ScriptedServer server;
    server.start(); // takes everything and never answers

    auto form = shownForm(server.baseUrl());
    form->Edit1->setText(path);
    QTest::mouseClick(form->Button1, Qt::LeftButton);
    QTRY_COMPARE(server.bodyCount(), MiB);
    QVERIFY(form->HTTP->isBusy());
    QPointer<TNMHTTP> http = form->HTTP;
    form->close();
    form.reset();
    QVERIFY(!http);
    // The event loop goes on without the window and its connection.
    QTest::qWait(50);
}

void TestWindow::staysResponsiveAndShowsProgressDuringLargeUpload()
{
    TestFolder folder;
    const qint64 size = 1024 * MiB;
    // Real data: reading a sparse file's holes makes the kernel zero its read-ahead on
    // our thread, which no file of the user's costs.
    const QString path = folder.patterned(QStringLiteral("large.bin"), size);
    ScriptedServer server;
    server.setRecordLimit(0);
    server.acceptAfterBody();
    server.start();

    const auto form = shownForm(server.baseUrl());
    form->Edit1->setText(path);
    form->Edit2->setText(QStringLiteral("large.bin"));

    QStringList shown;
    QElapsedTimer sinceTick;
    qint64 largestGap = 0;
    QTimer probe;
    probe.setInterval(GapProbeIntervalMs);
    connect(&probe, &QTimer::timeout, [&] {
        largestGap = qMax(largestGap, sinceTick.restart());
        if (shown.value(shown.size() - 1) != form->Label1->Caption())
            shown << form->Label1->Caption();
    });
    QSignalSpy finished(form->HTTP, &TNMHTTP::finished);
    QTest::mouseClick(form->Button1, Qt::LeftButton);
    sinceTick.start();
    probe.start();
    QVERIFY(finished.wait(TransferTimeoutMs));
    probe.stop();

    qInfo("largest event-loop gap during a 1 GiB upload: %lld ms", largestGap);
    QCOMPARE(form->Label1->Caption(), SendCommand::succeededText());
    QCOMPARE(server.bodyCount(), size);
    QVERIFY2(largestGap <= MaxEventLoopGapMs, qPrintable(QString::number(largestGap)));
    const QString sending = SendCommand::progressText(0).chopped(2);
    QVERIFY2(std::any_of(shown.begin(), shown.end(), [&](const QString &text) {
                 return text.startsWith(sending) && text != SendCommand::progressText(0);
             }), qPrintable(shown.join(QLatin1String(" | "))));
}

FILESEND_TEST(TestWindow, "window")

#include "tst_window.moc"
