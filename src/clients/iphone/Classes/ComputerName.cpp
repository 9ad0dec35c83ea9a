// SPDX-License-Identifier: GPL-3.0-or-later
#include "ComputerName.h"

namespace {

bool isShownAsText(char32_t codePoint)
{
    switch (QChar::category(codePoint)) {
    case QChar::Other_Control:       // C0, DEL and C1
    case QChar::Other_Format:        // bidirectional controls, zero-width characters, BOM
    case QChar::Other_Surrogate:     // half of a pair whose other half is missing
    case QChar::Separator_Line:      // U+2028
    case QChar::Separator_Paragraph: // U+2029
        return false;
    default:
        return true;
    }
}

} // namespace

QString cleanComputerName(const QString& name)
{
    QString cleaned;
    cleaned.reserve(qMin(name.size(), 2 * kComputerNameMaxLength));
    int kept = 0;
    for (qsizetype i = 0; i < name.size() && kept < kComputerNameMaxLength; ++i) {
        const QChar unit = name.at(i);
        char32_t codePoint = unit.unicode();
        qsizetype units = 1;
        if (unit.isHighSurrogate() && i + 1 < name.size() && name.at(i + 1).isLowSurrogate()) {
            codePoint = QChar::surrogateToUcs4(unit, name.at(i + 1));
            units = 2;
        }
        if (isShownAsText(codePoint)) {
            cleaned.append(name.constData() + i, units);
            ++kept;
        }
        i += units - 1;
    }
    return cleaned;
}
