// Ostra Console: a serial-port console window.
#include <QApplication>
#include <QMessageBox>

#include "console/comexample.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    try {
        Application->Initialize();
        Application->SetMainFormOnTaskBar(true);
        Application->CreateForm(Form3);
        Application->Run();
    } catch (const std::exception& e) {
        // The window could not be built: a damaged form file is all that can do it.
        QMessageBox::critical(nullptr, QCoreApplication::applicationName(), QString::fromUtf8(e.what()));
        return 1;
    }
    return 0;
}
