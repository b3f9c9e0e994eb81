// Texts of the About window.
#include "device/about_texts.h"

namespace k740 {

const char* const kAboutProductLine = " RV K740-P ：System32-Version v5.0.7";
const char* const kAboutDefaultBoard3 = "200.2.5-V3.0";
const char* const kAboutHardwareLabels[8] = {
    "  Lidar ID:",
    "  FPGA 2nd board version:",
    "  FPGA 3rd board version:",
    "  Hardware 2nd board version:",
    "  Hardware 3rd board version:",
    "  Emission board version:",
    "  Receive board version:",
    "  Structure version:",
};

AboutTexts aboutTextsForVersions(const QStringList& versions) {
    AboutTexts t;
    for (int row = 0; row < 8; ++row) {
        const int entry = kAboutHardwareEntry[row];
        if (entry < versions.size()) t.hardware[row] = versions[entry];
    }
    if (versions.size() > 1) t.software = versions[1];
    return t;
}

AboutTexts aboutTextsOnShow(const QStringList& stored, bool dataReceived) {
    if (!dataReceived) return AboutTexts{};
    if (!stored.isEmpty()) return aboutTextsForVersions(stored);
    AboutTexts t;
    t.software = QString::fromLatin1(kAboutDefaultBoard3);
    return t;
}

}  // namespace k740
