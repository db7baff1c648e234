// Load, apply and save of a large configuration: 10,000 package notes and
// 200 menu items, against the same at one tenth the size.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "config/configuration.h"
#include "config/menus.h"
#include "xml/xml_document.h"

using namespace quenlo;

namespace {

std::string MakeConfiguration(int notes, int menuItems) {
  std::string xml = "<?xml version=\"1.0\" encoding=\"gb18030\"?>\r\n<head ip=\"192.168.1.7\">\r\n";
  xml += "\t<windowPos left=\"157\" top=\"115\" width=\"1017\" height=\"500\"/>\r\n\t<Explain>\r\n";
  for (int i = 0; i < notes; ++i)
    xml += "\t\t<data Pack=\"com.example.package" + std::to_string(i) + "\" Tips=\"备注 &amp; 说明 " +
           std::to_string(i) + "\" rgb=\"" + std::to_string(i * 37 % 16777216) + "\"/>\r\n";
  xml += "\t</Explain>\r\n\t<prop>\r\n\t\t<comboBox name=\"查看进程\" command=\"adb shell ps\"/>\r\n"
         "\t\t<comboBox name=\"查看包名\" command=\"adb shell pm list packages\"/>\r\n\t</prop>\r\n\t<menu>\r\n";
  for (int m = 0; m < 2; ++m) {
    xml += "\t\t<menu" + std::to_string(m + 1) + ">\r\n";
    for (int i = 0; i < menuItems / 2; ++i)
      xml += "\t\t\t<item name=\"命令" + std::to_string(i) + "\" command=\"adb shell pm clear (pack)\"/>\r\n";
    xml += "\t\t</menu" + std::to_string(m + 1) + ">\r\n";
  }
  xml += "\t</menu>\r\n</head>";
  return xml;
}

void RoundTrip(benchmark::State& state) {
  const std::string bytes = MakeConfiguration(static_cast<int>(state.range(0)),
                                              static_cast<int>(state.range(1)));
  char path[] = "/tmp/quenlo-bench-config-XXXXXX";
  int fd = mkstemp(path);
  close(fd);
  for (auto _ : state) {
    xml::XmlDocument doc;
    doc.LoadDocument(bytes);
    auto notes = config::ReadPackageNotes(doc);
    auto commands = config::ReadViewCommands(doc);
    auto menus = config::BuildMenuSet(doc);
    config::LiveConfiguration live{config::ReadIpAddress(doc), config::ReadWindowRect(doc, 1920, 1080),
                                   &notes, &commands, &menus};
    xml::XmlDocument out;
    config::BuildConfigurationDocument(out, live);
    benchmark::DoNotOptimize(out.SaveToFile(path));
  }
  unlink(path);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes.size()));
}

}  // namespace

BENCHMARK(RoundTrip)->Args({1000, 20})->Args({10000, 200})->Repetitions(5)->ReportAggregatesOnly(true)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
