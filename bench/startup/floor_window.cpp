// The floor for the editor's start-up: a window of the editor's size holding one push button,
// one label and one drop-down list, so that the platform, fonts and style are loaded just as
// the editor needs them, and nothing else. Its first paint is reported by startup_probe.cpp.

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QWidget>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Floor"));
    window.resize(457, 769);
    auto* button = new QPushButton(QStringLiteral("Open"), &window);
    button->setGeometry(168, 16, 65, 25);
    auto* label = new QLabel(QStringLiteral("Gym leader"), &window);
    label->setGeometry(16, 80, 137, 17);
    auto* list = new QComboBox(&window);
    list->addItems({QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("2")});
    list->setGeometry(16, 120, 145, 21);
    window.show();
    return QApplication::exec();
}
