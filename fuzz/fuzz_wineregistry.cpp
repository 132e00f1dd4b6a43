// Wine's registry text files (system.reg, user.reg) as a Wine prefix holds
// them: loaded, indexed and asked for the values iTunes' lookup reads.

#include "FuzzInput.h"
#include "WineRegistry.h"

void fuzzCheckContext() {}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    WineRegistry registry;
    if (!registry.loadData(bytes))
        FUZZ_CHECK(registry.isEmpty());
    static const char *const keys[][2] = {
        {"Software\\Apple Computer, Inc.\\iTunes", "LangID"},
        {"Software\\Classes\\iTunes\\DefaultIcon", ""},
        {"Software\\Classes\\iTunes\\DefaultIcon", "Lang"},
        {"Software\\Classes\\iTunes\\DefaultIcon", "Exp"},
        {"Software\\Classes\\iTunes\\DefaultIcon", "Esc"},
        {"System\\CurrentControlSet\\Control\\Nls\\Language", "Default"},
        {"Software\\Wine\\Drives", "c:"},
    };
    for (const auto &key : keys) {
        registry.hasKey(QString::fromLatin1(key[0]));
        if (const auto value = registry.value(QString::fromLatin1(key[0]), QString::fromLatin1(key[1]))) {
            FUZZ_CHECK(value->bytes.size() <= WineRegistry::kMaxValueBytes);
            FUZZ_CHECK(value->text.size() <= WineRegistry::kMaxValueBytes);
        }
    }
    WineRegistry::unescape(bytes.left(4096));
    return 0;
}
