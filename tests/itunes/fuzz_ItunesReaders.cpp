#include "ItunesPrefFiles.h"
#include "ItunesStringsFile.h"
#include "PeVersionReader.h"
#include "WineRegistry.h"

#include <QBuffer>

// libFuzzer entry: the first byte picks the reader, the rest is its input.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0 || size > 1024 * 1024)
        return 0;
    const QByteArray input(reinterpret_cast<const char *>(data) + 1, qsizetype(size - 1));
    switch (data[0] % 4) {
    case 0: {
        WineRegistry reg;
        const QByteArray header = "WINE REGISTRY Version 2\n";
        reg.loadData(input.startsWith("WINE") ? input : header + input);
        reg.value(QStringLiteral("Software\\Classes\\iTunes\\DefaultIcon"), QString());
        reg.value(QStringLiteral("System\\CurrentControlSet\\Control"), QStringLiteral("x"));
        break;
    }
    case 1: {
        QBuffer buffer;
        buffer.setData(input);
        buffer.open(QIODevice::ReadOnly);
        PeVersionReader::fileVersion(buffer);
        break;
    }
    case 2:
        ItunesPrefFiles::libraryLocation(input);
        ItunesPrefFiles::musicFolder(input);
        break;
    default:
        ItunesStringsFile::value(input, QStringLiteral("128.007"));
    }
    return 0;
}
