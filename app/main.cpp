#include "app/widget_gateway.h"
#include "app/zorvan_window.h"

#include <QApplication>
#include <QDir>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    WidgetGateway gateway;
    // Settings come from the directory the program was started in.
    TZorvan window(gateway, QDir::currentPath());
    gateway.SetParent(&window);
    window.show();
    return app.exec();
}
