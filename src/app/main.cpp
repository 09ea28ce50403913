#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Tarnivo"));
    window.resize(536, 612);
    window.show();
    return application.exec();
}
