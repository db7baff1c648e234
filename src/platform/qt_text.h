#pragma once
// Conversion between the program's GBK texts and QString for the widgets.
#include <QString>
#include <string>
#include <string_view>

namespace quenlo {

QString ToQ(std::string_view gbk);
std::string FromQ(const QString& text);

// For multi-line boxes: CRLF line ends become the widget's line breaks, and
// back.
QString ToQLines(std::string_view gbk);
std::string FromQLines(const QString& text);

}  // namespace quenlo
