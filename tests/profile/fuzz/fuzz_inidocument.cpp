// libFuzzer target for the INI reader and editor: any bytes load; a write changes exactly the
// value written, keeps every other key as it was, and reads back.
#include "IniDocument.h"

#include <cstdlib>

namespace {

void check(bool ok) {
    if (!ok)
        std::abort();
}

const QString sections[] = {QStringLiteral("General"), QStringLiteral("searchfor"),
                            QStringLiteral("Ä")};
const QString keys[] = {QStringLiteral("Key"), QStringLiteral("CaseSensitive"),
                        QStringLiteral("SearchFor20")};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size == 0)
        return 0;
    // The first byte picks what to write and a value; the rest is the file.
    const uint8_t pick = data[0];
    const QByteArray text(reinterpret_cast<const char *>(data + 1), static_cast<int>(size - 1));
    const QString &section = sections[pick % 3];
    const QString &key = keys[(pick / 3) % 3];
    const QString value = QString::fromUtf8(text.left(pick % 16));

    IniDocument doc(text);
    check(doc.toByteArray() == text);
    std::optional<QString> before[3][3];
    for (int s = 0; s < 3; ++s)
        for (int k = 0; k < 3; ++k)
            before[s][k] = doc.value(sections[s], keys[k]);

    doc.setValue(section, key, value);
    const IniDocument reread(doc.toByteArray());
    const std::optional<QString> written = reread.value(section, key);
    check(written.has_value());
    // Values end at a NUL, stay on one line and lose the blanks around them.
    QByteArray bytes = value.toUtf8();
    if (bytes.contains('\0'))
        bytes.truncate(bytes.indexOf('\0'));
    bytes.replace('\r', ' ').replace('\n', ' ');
    const QString expected = QString::fromUtf8(bytes.trimmed());
    check(*written == expected);
    for (int s = 0; s < 3; ++s)
        for (int k = 0; k < 3; ++k)
            if (!(sections[s] == section && keys[k] == key))
                check(reread.value(sections[s], keys[k]) == before[s][k]);
    return 0;
}
