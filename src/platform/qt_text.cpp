#include "platform/qt_text.h"

#include "platform/text.h"

namespace quenlo {

QString ToQ(std::string_view gbk) {
  std::string utf8 = platform::GbkToUtf8(gbk);
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string FromQ(const QString& text) {
  QByteArray utf8 = text.toUtf8();
  return platform::Utf8ToGbk(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
}

QString ToQLines(std::string_view gbk) {
  QString text = ToQ(gbk);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return text;
}

std::string FromQLines(const QString& text) {
  QString copy = text;
  copy.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
  return FromQ(copy);
}

}  // namespace quenlo
