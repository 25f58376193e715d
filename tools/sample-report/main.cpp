// The sample report plug-in: a small window that shows the module's own version strings
// and the folder it was started in.
#include "shell/base/PluginBlock.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QVBoxLayout>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Пример отчета"));
    auto* layout = new QVBoxLayout(&window);
    QString text;
    if (const auto strings = pluginblock::ReadFile(QCoreApplication::applicationFilePath())) {
        for (const auto& [key, value] : *strings)
            text += key + QStringLiteral(": ") + value + QLatin1Char('\n');
    } else {
        text = QStringLiteral("Модуль не подписан\n");
    }
    text += QStringLiteral("Рабочая папка: ") + QDir::currentPath();
    auto* label = new QLabel(text, &window);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(label);
    window.resize(420, 160);
    window.show();
    return QApplication::exec();
}
