// Local file names made from device strings: the names of dragged-out
// packages, of exports and of documents copied to the computer. Whatever
// the device calls an app or a document, the name stays inside its folder,
// visible, printable and within the file system's limit.

#include "AppMessages.h"
#include "DragFileNames.h"
#include "FuzzInput.h"
#include "LocalFileName.h"

#include <QSet>

namespace {

// Which maker's name is checked, said when a check fails.
const char *g_maker = "";

void checkLocalName(const char *maker, const QString &name, int maxBytes = LocalFileName::kMaxBytes)
{
    g_maker = maker;
    FUZZ_CHECK(!name.isEmpty());
    FUZZ_CHECK(!name.startsWith(QLatin1Char('.')));
    FUZZ_CHECK(!name.contains(QLatin1Char('/')));
    FUZZ_CHECK(LocalFileName::utf8Bytes(name) <= maxBytes);
    // Every code point printable: no controls, formatting, line or
    // paragraph separators, or halves of surrogate pairs.
    for (int i = 0; i < name.size(); ++i) {
        char32_t c = name.at(i).unicode();
        if (name.at(i).isHighSurrogate() && i + 1 < name.size() && name.at(i + 1).isLowSurrogate())
            c = QChar::surrogateToUcs4(name.at(i), name.at(i + 1)), ++i;
        const QChar::Category category = QChar::category(c);
        FUZZ_CHECK(category != QChar::Other_Control && category != QChar::Other_Format
                   && category != QChar::Other_Surrogate && category != QChar::Separator_Line
                   && category != QChar::Separator_Paragraph);
    }
}

} // namespace

void fuzzCheckContext()
{
    std::fprintf(stderr, "while checking a name of %s\n", g_maker);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Lines of UTF-8 as a device's list of names, and the whole input read as
    // UTF-16 (which reaches unpaired surrogates UTF-8 decoding never makes).
    FuzzInput input(data, size);
    QStringList names;
    while (!input.empty() && names.size() < 16)
        names << QString::fromUtf8(QByteArray::fromStdString(input.piece('\n')));
    names << QString(reinterpret_cast<const QChar *>(data), int(size / 2));

    for (const QString &name : names) {
        const QString drag = DragFileNames::sanitize(name);
        checkLocalName("DragFileNames::sanitize", drag, DragFileNames::kMaxBaseBytes);
        FUZZ_CHECK(!drag.contains(QLatin1Char('\\')));

        const QString local = LocalFileName::make(name);
        checkLocalName("LocalFileName::make", local);
        FUZZ_CHECK(LocalFileName::make(local) == local);
        checkLocalName("AppMessages::safeFileName", AppMessages::safeFileName(name));
    }

    const QStringList packages = DragFileNames::packageNames(names);
    FUZZ_CHECK(packages.size() == names.size());
    QSet<QString> distinct;
    for (const QString &package : packages) {
        checkLocalName("DragFileNames::packageNames", package);
        FUZZ_CHECK(package.endsWith(QLatin1String(".ipa")));
        distinct.insert(package.toCaseFolded());
    }
    FUZZ_CHECK(distinct.size() == packages.size());

    // An export: the app's name and version from the device.
    for (bool appOnly : {true, false}) {
        const QString file = AppMessages::exportFileName(names.value(0), names.value(1),
                                                         QStringLiteral("com.example.fuzz"), appOnly);
        checkLocalName("AppMessages::exportFileName", file);
        FUZZ_CHECK(file.endsWith(QLatin1String(".ipa")));
        FUZZ_CHECK(appOnly || file.endsWith(QLatin1String("(including documents).ipa")));
    }
    return 0;
}
