// The floor for start-up time and resident memory: a Qt Widgets program that
// does nothing but show one small window with a label.

#include <QApplication>
#include <QLabel>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QLabel window(QStringLiteral("floor"));
    window.resize(520, 300);
    window.show();
    return app.exec();
}
