// Test helper: writes the arguments it was started with to the file named by
// KVESTV_ECO_SALIDA, each argument followed by a NUL byte, so a test can check
// exactly what a launcher handed over. The file appears complete or not at all.
#include <QByteArray>
#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString destino = qEnvironmentVariable("KVESTV_ECO_SALIDA");
    if (destino.isEmpty()) return 2;
    QByteArray contenido;
    const QStringList argumentos = QCoreApplication::arguments();
    for (qsizetype i = 1; i < argumentos.size(); ++i) {
        contenido += argumentos.at(i).toUtf8();
        contenido += '\0';
    }
    QSaveFile archivo(destino);
    if (!archivo.open(QIODevice::WriteOnly)) return 3;
    archivo.write(contenido);
    return archivo.commit() ? 0 : 4;
}
