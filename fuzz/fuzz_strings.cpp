// iTunes' Localizable.strings (UTF-16 with a byte-order mark): the value of
// the automatic-import folder's key, and of a key the input names itself.

#include "FuzzInput.h"
#include "ItunesStringsFile.h"

void fuzzCheckContext() {}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    QString value = ItunesStringsFile::value(bytes, QStringLiteral("128.007"));
    FUZZ_CHECK(value.size() <= ItunesStringsFile::kMaxValueUnits);
    FUZZ_CHECK(!value.contains(QLatin1Char('"')));

    // The first line's bytes (up to a newline) as the key.
    FuzzInput input(data, size);
    const QString key = QString::fromUtf8(QByteArray::fromStdString(input.piece('\n')));
    value = ItunesStringsFile::value(bytes, key);
    FUZZ_CHECK(value.size() <= ItunesStringsFile::kMaxValueUnits);
    return 0;
}
