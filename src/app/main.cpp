// The workstation's entry point.
#include <QApplication>
#include <QLabel>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("Орвекс-Проф"));
    QLabel label(QStringLiteral("Орвекс-Проф"));
    label.show();
    return app.exec();
}
