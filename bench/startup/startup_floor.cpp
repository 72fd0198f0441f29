// The toolkit's floor for start-up: a bare Qt Widgets main window with a
// menu bar and a client area of the main window's size, and nothing else.
#include <QApplication>
#include <QMainWindow>
#include <QMenuBar>
#include <QWidget>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Startup floor"));
    window.menuBar()->addMenu(QStringLiteral("About"))->addAction(QStringLiteral("Version"));
    auto *client = new QWidget(&window);
    client->setFixedSize(733, 505); // 10995 x 7575 twips at 96 dpi, as tovrik's
    window.setCentralWidget(client);
    window.show();
    return QApplication::exec();
}
