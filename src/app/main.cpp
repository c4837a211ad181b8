#include <QApplication>
#include <QLabel>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("Korimo"));
    QLabel window(QStringLiteral("Korimo"));
    window.resize(865, 682);
    window.show();
    return QApplication::exec();
}
