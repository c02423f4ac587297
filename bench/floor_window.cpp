// The floor for start-up time and resident memory: a Qt Widgets program that
// does nothing but show one small window with a label. Given a text, it shows
// that text instead, so that the cost of the fonts a text needs (Chinese,
// say) can be told apart from the rest of a program's start-up.

#include <QApplication>
#include <QLabel>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QLabel window(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("floor"));
    window.resize(520, 300);
    window.show();
    return app.exec();
}
