#include "PeImageBuilder.h"

#include <QtEndian>

namespace {

void put16(QByteArray &b, int at, quint16 v) { qToLittleEndian(v, b.data() + at); }
void put32(QByteArray &b, int at, quint32 v) { qToLittleEndian(v, b.data() + at); }

constexpr int kPeAt = 0x40;
constexpr int kRawAt = 0x200;
constexpr quint32 kRva = 0x1000;

} // namespace

QByteArray PeImageBuilder::build(quint16 major, quint16 minor, quint16 build, quint16 revision,
                                 bool pe32Plus)
{
    QByteArray image(kRawAt + 0x200, '\0');
    image[0] = 'M';
    image[1] = 'Z';
    put32(image, 0x3c, kPeAt);
    image.replace(kPeAt, 4, QByteArray("PE\0\0", 4));
    const int optionalSize = pe32Plus ? 0xF0 : 0xE0;
    put16(image, kPeAt + 4, pe32Plus ? 0x8664 : 0x14c);
    put16(image, kPeAt + 6, 1);
    put16(image, kPeAt + 20, quint16(optionalSize));
    const int optional = kPeAt + 24;
    put16(image, optional, pe32Plus ? 0x20b : 0x10b);
    const int dirs = optional + (pe32Plus ? 112 : 96);
    put32(image, dirs - 4, 16);
    put32(image, dirs + 16, kRva);
    put32(image, dirs + 20, 0x100);

    const int section = optional + optionalSize;
    image.replace(section, 5, ".rsrc");
    put32(image, section + 8, 0x200);
    put32(image, section + 12, kRva);
    put32(image, section + 16, 0x200);
    put32(image, section + 20, kRawAt);

    // Three directory levels, each with one entry pointing one level down.
    const int r = kRawAt;
    put16(image, r + 14, 1);
    put32(image, r + 16, 16);
    put32(image, r + 20, 0x80000000u | 0x18);
    put16(image, r + 0x18 + 14, 1);
    put32(image, r + 0x18 + 16, 1);
    put32(image, r + 0x18 + 20, 0x80000000u | 0x30);
    put16(image, r + 0x30 + 14, 1);
    put32(image, r + 0x30 + 16, 0x409);
    put32(image, r + 0x30 + 20, 0x48);
    const int blob = 0x58;
    const int blobSize = 40 + 52;
    put32(image, r + 0x48, kRva + blob);
    put32(image, r + 0x48 + 4, blobSize);

    const int v = r + blob;
    put16(image, v, blobSize);
    put16(image, v + 2, 52);
    const QString key = QStringLiteral("VS_VERSION_INFO");
    for (int i = 0; i < key.size(); ++i)
        put16(image, v + 6 + 2 * i, key.at(i).unicode());
    put32(image, v + 40, 0xFEEF04BDu);
    put32(image, v + 44, 0x00010000u);
    put32(image, v + 48, quint32(major) << 16 | minor);
    put32(image, v + 52, quint32(build) << 16 | revision);
    return image;
}

int PeImageBuilder::signatureOffset(const QByteArray &image)
{
    return int(image.indexOf(QByteArray("\xBD\x04\xEF\xFE", 4)));
}
