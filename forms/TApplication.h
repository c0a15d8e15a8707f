#pragma once

#include <QApplication>
#include <QTranslator>

#include <memory>

class QWidget;

// The application object: owns the Qt application and the main form, and runs the loop.
class TApplication
{
public:
    TApplication(int &argc, char **argv);
    ~TApplication();

    // Sets up the application; Qt's own texts (the file dialog's among them) speak Korean,
    // as the window does, whatever the system's language.
    void Initialize();

    // Creates a form; the first one created is the main window.
    template<typename Form>
    void CreateForm(Form **reference)
    {
        auto *form = new Form();
        if (!m_mainForm)
            m_mainForm.reset(form);
        *reference = form;
    }

    // Shows the main window and runs the message loop until it is closed.
    int Run();

private:
    QApplication m_application;
    QTranslator m_qtTexts;
    std::unique_ptr<QWidget> m_mainForm;
};
