// The viewer's entry point.
#include <QApplication>
#include <cstdio>
#include <string_view>

#include "app/Ordenes.h"

int main(int argc, char** argv) {
    if (argc > 1 && std::string_view(argv[1]) == "--informe") { QStringList a; for (int i = 2; i < argc; ++i) a << QString::fromLocal8Bit(argv[i]); return kv::app::OrdenInforme(a); }
    if (argc > 1 && std::string_view(argv[1]) == "--demo") { QCoreApplication app(argc, argv); return kv::app::OrdenDemo(app.arguments().mid(2)); }
    QApplication app(argc, argv);
    std::fputs("KV_ESTV: visor de estadísticas de ventas.\n", stderr);
    return 0;
}
