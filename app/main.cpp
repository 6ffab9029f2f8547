#include <QApplication>
#include <QMainWindow>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Параметры интерфейса RS485"));
    window.resize(445, 391);
    window.show();
    return app.exec();
}
