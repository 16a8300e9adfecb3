// kestrow-picture-gen DIR: draws the plain device picture of every variant
// with the editor's own drawing code and writes it to DIR/plain_N.png (N the
// variant's number), for the build to compile into the editor. Each file is
// read back with the editor's reader and must give the very same pixels.

#include "ui/picture_forms.h"
#include "ui/plain_pictures.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>

#include <cstdio>

namespace kestrow {

// This tool makes the pictures, so none is built into it: every set draws.
const std::array<std::span<const unsigned char>, 3> kPlainPicturePngs {};

} // namespace kestrow

int main(int argc, char** argv)
{
    using namespace kestrow;
    // Pictures must not depend on the desktop the build runs on.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: kestrow-picture-gen DIR\n");
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    PictureSets sets;
    for (auto variant :
        { DeviceVariant::zembraControl, DeviceVariant::zembraFader, DeviceVariant::zembraDial }) {
        const QImage picture
            = sets.forVariant(variant).render(KnobPictureSet::kPlainSlot).toImage();
        const QString path = dir.filePath(QStringLiteral("plain_%1.png").arg(int(variant)));
        // Quality 0: the strongest compression.
        QFile file(path);
        if (!picture.save(path, "PNG", 0) || !file.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "kestrow-picture-gen: cannot write %s\n", qPrintable(path));
            return 1;
        }
        const QByteArray png = file.readAll();
        const auto bytes = std::span(reinterpret_cast<const unsigned char*>(png.constData()),
            static_cast<std::size_t>(png.size()));
        if (decodePlainPicturePng(bytes) != picture) {
            std::fprintf(
                stderr, "kestrow-picture-gen: %s does not read back as drawn\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
