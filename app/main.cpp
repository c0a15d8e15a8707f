#include "DesktopIdentity.h"
#include "TApplication.h"
#include "Unit1.h"

int main(int argc, char *argv[])
{
    TApplication Application(argc, argv);
    DesktopIdentity::apply();
    Application.Initialize();
    Application.CreateForm(&Form1);
    return Application.Run();
}
