#include "TApplication.h"

#include <QLibraryInfo>
#include <QWidget>

TApplication::TApplication(int &argc, char **argv)
    : m_application(argc, argv)
{
}

TApplication::~TApplication() = default;

void TApplication::Initialize()
{
    QApplication::setQuitOnLastWindowClosed(true);
    if (m_qtTexts.load(QStringLiteral("qtbase_ko"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&m_qtTexts);
}

int TApplication::Run()
{
    if (!m_mainForm)
        return 0;
    m_mainForm->show();
    return QApplication::exec();
}
