// What the About window shows, without widgets: the product line, the version rows fed by the
// settings window's version list, and the board-3 version shown once data has been received
// before any list arrived.
#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <optional>

namespace k740 {

extern const char* const kAboutProductLine;    // " RV K740-P ：System32-Version v5.0.7" (UTF-8)
extern const char* const kAboutDefaultBoard3;  // "200.2.5-V3.0"
// Labels of the Hardware rows 0-7, leading blanks kept.
extern const char* const kAboutHardwareLabels[8];
// Version list entry shown in each Hardware row (row 0 the serial, row 1 board 2, ...).
constexpr int kAboutHardwareEntry[8] = {2, 0, 1, 3, 4, 5, 6, 7};
constexpr int kAboutFirstHiddenRow = 3;

// Label texts to write; nullopt leaves a label as it is.
struct AboutTexts {
    std::optional<QString> software;                 // Software row 1 value
    std::array<std::optional<QString>, 8> hardware;  // Hardware row values 0-7
};

// A version list arrives: entries present are written, missing ones are left alone.
AboutTexts aboutTextsForVersions(const QStringList& versions);
// The window is shown: the stored list again once data was received; with data but no list
// the default board-3 version; otherwise nothing.
AboutTexts aboutTextsOnShow(const QStringList& stored, bool dataReceived);

}  // namespace k740
