#include "frmKelvadon.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    torvanelo::frmKelvadon window;
    window.show();
    return application.exec();
}
