// The PE reader: iTunes.exe's fixed file version out of any bytes.

#include "FuzzInput.h"
#include "PeVersionReader.h"

#include <QBuffer>
#include <QRegularExpression>

void fuzzCheckContext() {}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QBuffer buffer;
    buffer.setData(reinterpret_cast<const char *>(data), int(size));
    buffer.open(QIODevice::ReadOnly);
    const QString version = PeVersionReader::fileVersion(buffer);
    static const QRegularExpression form(QStringLiteral("^(\\d{1,5}\\.){3}\\d{1,5}$"));
    FUZZ_CHECK(version.isEmpty() || form.match(version).hasMatch());
    return 0;
}
