#include "Unit1.h"

#include "SendCommand.h"

TForm1 *Form1 = nullptr;

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
