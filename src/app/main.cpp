// The viewer's entry point.
#include <QApplication>
#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    std::fputs("KV_ESTV: visor de estadísticas de ventas.\n", stderr);
    return 0;
}
