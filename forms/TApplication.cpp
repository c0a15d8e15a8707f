#include "TApplication.h"

#include <QWidget>

TApplication::TApplication(int &argc, char **argv)
    : m_application(argc, argv)
{
}

TApplication::~TApplication() = default;

void TApplication::Initialize()
{
    QApplication::setQuitOnLastWindowClosed(true);
}

int TApplication::Run()
{
    if (!m_mainForm)
        return 0;
    m_mainForm->show();
    return QApplication::exec();
}
