#pragma once
// GIF files written and read with giflib: a picture reduced to a 256-colour
// palette, and read back into a QImage.

#include <QImage>
#include <QString>

namespace kv::ui {

// False (with the reason in `error`) when the file cannot be written.
bool GrabarGif(const QImage& imagen, const QString& archivo, QString* error = nullptr);
// A null image when the file cannot be read as a GIF.
QImage LeerGif(const QString& archivo);

}  // namespace kv::ui
