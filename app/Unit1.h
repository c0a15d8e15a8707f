#pragma once

#include <QByteArray>

#include "TButton.h"
#include "TEdit.h"
#include "TForm.h"
#include "TLabel.h"
#include "TNMHTTP.h"
#include "TOpenDialog.h"
#include "UploadTarget.h"

class QDragEnterEvent;
class QDragMoveEvent;
class QDropEvent;
class SendCommand;

// The program's one window: choose a file, send it, read the outcome in the status line.
class TForm1 : public TForm
{
    Q_OBJECT

public:
    // The shipped program always sends to the fixed base URL; tests pass their own server's.
    explicit TForm1(QWidget *parent = nullptr, const QByteArray &baseUrl = UploadTarget::baseUrl());

    // Created from the stored layout, in its order.
    TButton *Button1 = nullptr;
    TNMHTTP *HTTP = nullptr;
    TLabel *Label1 = nullptr;
    TOpenDialog *OpenDialog1 = nullptr;
    TLabel *Label2 = nullptr;
    TEdit *Edit1 = nullptr;
    TButton *Button2 = nullptr;
    TEdit *Edit2 = nullptr;

public slots:
    void Button1Click();
    void Button2Click();

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    // The tests reach LastCharPos.
    friend class TestChoose;

    template<typename Component>
    Component *component(const char *name) const;
    // Puts a chosen file into the path box and proposes its name in the name box.
    void takeChosenFiles(const QString &files);
    // The 1-based position of the last ch in text; 0 if there is none.
    static int LastCharPos(const QString &text, QChar ch);
    // Accepts a drag that carries exactly one local regular file and returns its path;
    // refuses any other drag and returns an empty path.
    static QString acceptDraggedFile(QDropEvent *event);

    SendCommand *m_send = nullptr;
};

extern TForm1 *Form1;
