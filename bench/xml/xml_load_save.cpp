// Loading and writing documents of about 1 MB and about 10 MB, shaped like
// the program's command data sets. Time should grow with the size and no
// faster: the 10 MB / 1 MB ratios printed at the end should stay near 10.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "ratio_reporter.h"
#include "xml/xml_document.h"

namespace {

using quenlo::xml::XmlDocument;

// A data set of `bytes` size or a little more: groups of commands with
// Chinese names, attributes and texts that need escapes, comments and CDATA.
std::string MakeDataSet(size_t bytes) {
  std::string s = "<?xml version=\"1.0\" encoding=\"gb18030\"?>\r\n<小米命令 作者=\"bench\">\r\n";
  for (int group = 1; s.size() < bytes; ++group) {
    s += "\t<去除开机广告 序号=\"" + std::to_string(group) + "\" 备注=\"&quot;慎用&quot; &amp; 测试\">第" +
         std::to_string(group) + "组\r\n";
    s += "\t\t<!-- 卸载系统广告组件 -->\r\n";
    for (int cmd = 0; cmd < 20; ++cmd)
      s += "\t\t<无说明,未测试 n=\"" + std::to_string(cmd) +
           "\">adb shell pm uninstall --user 0 com.miui.systemAdSolution &gt; /dev/null</无说明,未测试>\r\n";
    s += "\t\t<脚本><![CDATA[if [ \"$a\" \\< 1 ]; then echo \"<ok>\"; fi]]></脚本>\r\n";
    s += "\t</去除开机广告>\r\n";
  }
  return s + "</小米命令>";
}

const std::string& DataSet(size_t megabytes) {
  static const std::string small = MakeDataSet(1u << 20);
  static const std::string large = MakeDataSet(10u << 20);
  return megabytes == 1 ? small : large;
}

void Load(benchmark::State& state, size_t megabytes) {
  const std::string& bytes = DataSet(megabytes);
  for (auto _ : state) {
    XmlDocument doc;
    if (!doc.LoadDocument(bytes)) state.SkipWithError("document did not load");
    benchmark::DoNotOptimize(doc.Root());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}

void Serialize(benchmark::State& state, size_t megabytes) {
  XmlDocument doc;
  if (!doc.LoadDocument(DataSet(megabytes))) state.SkipWithError("document did not load");
  size_t written = 0;
  for (auto _ : state) {
    std::string out = doc.Serialize();
    written = out.size();
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * written));
}

void BM_Load1MB(benchmark::State& state) { Load(state, 1); }
void BM_Load10MB(benchmark::State& state) { Load(state, 10); }
void BM_Serialize1MB(benchmark::State& state) { Serialize(state, 1); }
void BM_Serialize10MB(benchmark::State& state) { Serialize(state, 10); }

}  // namespace

BENCHMARK(BM_Load1MB)->Repetitions(7)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Load10MB)->Repetitions(7)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Serialize1MB)->Repetitions(7)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Serialize10MB)->Repetitions(7)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf("\nmedians (ms)        1 MB      10 MB    10 MB / 1 MB\n");
  for (const char* op : {"Load", "Serialize"}) {
    double small = reporter.Median(std::string("BM_") + op + "1MB");
    double large = reporter.Median(std::string("BM_") + op + "10MB");
    if (small > 0)
      std::printf("%-14s %10.2f %10.2f %12.2f\n", op, small, large, large / small);
  }
  std::printf("sizes: %zu and %zu bytes\n", DataSet(1).size(), DataSet(10).size());
  return 0;
}
