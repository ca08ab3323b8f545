#include <QApplication>
#include <QMessageBox>

// Start-up shell; the main window arrives with the application issue.
int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("CustomTerraquill");
    QMessageBox::information(nullptr, "CustomTerraquill", "The main window is not built yet.");
    return 0;
}
