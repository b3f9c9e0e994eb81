// The dialogs' side of the texts made beneath them: the widget-free layers hand out UTF-8
// std::string, the forms show QString.
#pragma once

#include <QString>
#include <QStringList>
#include <string>
#include <vector>

namespace k740 {

inline QString qtText(const std::string& text) { return QString::fromStdString(text); }

inline QStringList qtTexts(const std::vector<std::string>& texts) {
    QStringList list;
    list.reserve(static_cast<int>(texts.size()));
    for (const std::string& t : texts) list << QString::fromStdString(t);
    return list;
}

}  // namespace k740
