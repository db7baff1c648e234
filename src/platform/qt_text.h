#pragma once
// Conversion between the program's GBK texts and QString for the widgets.
#include <QString>
#include <string>
#include <string_view>

namespace quenlo {

QString ToQ(std::string_view gbk);
std::string FromQ(const QString& text);

}  // namespace quenlo
