#include "Unit1.h"

#include "SendCommand.h"

#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>

TForm1 *Form1 = nullptr;

namespace {

// Characters up to this code (the blank and the control characters) are trimmed off a chosen path.
constexpr char16_t HighestTrimmedCode = u' ';

QString trimmedOfBlanksAndControls(const QString &text)
{
    auto trimmed = [](QChar c) { return c.unicode() <= HighestTrimmedCode; };
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && trimmed(text.at(begin)))
        ++begin;
    while (end > begin && trimmed(text.at(end - 1)))
        --end;
    return text.mid(begin, end - begin);
}

} // namespace

TForm1::TForm1(QWidget *parent, const QByteArray &baseUrl)
    : TForm(parent)
{
    registerComponentClass<TNMHTTP>(QStringLiteral("TNMHTTP"));
    loadLayout(QStringLiteral(":/app/Unit1.layout"));

    Button1 = component<TButton>("Button1");
    HTTP = component<TNMHTTP>("HTTP");
    Label1 = component<TLabel>("Label1");
    OpenDialog1 = component<TOpenDialog>("OpenDialog1");
    Label2 = component<TLabel>("Label2");
    Edit1 = component<TEdit>("Edit1");
    Button2 = component<TButton>("Button2");
    Edit2 = component<TEdit>("Edit2");

    m_send = new SendCommand(HTTP, baseUrl, this);
    connect(m_send, &SendCommand::statusChanged, Label1, &TLabel::setCaption);

    // A file dropped anywhere on the window is a choice; the boxes must not take it as text.
    setAcceptDrops(true);
    Edit1->setAcceptDrops(false);
    Edit2->setAcceptDrops(false);
}

template<typename Component>
Component *TForm1::component(const char *name) const
{
    auto *found = findChild<Component *>(QLatin1String(name), Qt::FindDirectChildrenOnly);
    if (!found)
        qFatal("the stored layout has no %s", name);
    return found;
}

void TForm1::Button1Click()
{
    m_send->run(Edit1->Text(), Edit2->Text());
}

void TForm1::Button2Click()
{
    if (OpenDialog1->Execute())
        takeChosenFiles(OpenDialog1->Files());
}

void TForm1::takeChosenFiles(const QString &files)
{
    Edit1->setText(trimmedOfBlanksAndControls(files));
    const QString path = Edit1->Text();
    const int p = LastCharPos(path, QDir::separator());
    Edit2->setText(path.mid(p));
}

int TForm1::LastCharPos(const QString &text, QChar ch)
{
    int r = 0;
    for (int i = 1; i <= text.size(); ++i) {
        if (text.at(i - 1) == ch)
            r = i;
    }
    return r;
}

QString TForm1::acceptDraggedFile(QDropEvent *event)
{
    const QList<QUrl> urls = event->mimeData() ? event->mimeData()->urls() : QList<QUrl>();
    const QString file = urls.size() == 1 && urls.constFirst().isLocalFile() ? urls.constFirst().toLocalFile() : QString();
    if (!(event->possibleActions() & Qt::CopyAction) || !QFileInfo(file).isFile()) {
        event->ignore();
        return {};
    }
    // Taken as a copy: the file stays where it is, whatever the source proposes.
    event->setDropAction(Qt::CopyAction);
    event->accept();
    return file;
}

void TForm1::dragEnterEvent(QDragEnterEvent *event)
{
    acceptDraggedFile(event);
}

void TForm1::dragMoveEvent(QDragMoveEvent *event)
{
    acceptDraggedFile(event);
}

void TForm1::dropEvent(QDropEvent *event)
{
    const QString file = acceptDraggedFile(event);
    if (!file.isEmpty())
        takeChosenFiles(TOpenDialog::filesText({file}));
}
