// In-process timings of the SAM file's reading and check, step by step, on a file given:
// the JSON parser alone, the reader that hands out the lines, the check.
//   bench_sam FILE [RUNS]
#include "processmeasure.h"

#include "json/jsonsplitreader.h"
#include "sam/samcheck.h"

#include <nlohmann/json.hpp>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <functional>
#include <vector>

using namespace quarl;
using namespace quarl::bench;
using quarl::igm::Json;

namespace {

struct Times
{
    double wallMs;
    double cpuMs;
};

Times median(int runs, const std::function<void()> &work)
{
    std::vector<double> wall, cpu;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        const double c0 = cpuMs();
        t.start();
        work();
        wall.push_back(t.nsecsElapsed() / 1e6);
        cpu.push_back(cpuMs() - c0);
    }
    std::sort(wall.begin(), wall.end());
    std::sort(cpu.begin(), cpu.end());
    return {wall[wall.size() / 2], cpu[cpu.size() / 2]};
}

void print(const char *what, const Times &t)
{
    std::printf("%-34s %8.0f ms  (processor %6.0f ms)\n", what, t.wallMs, t.cpuMs);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2)
        die(QStringLiteral("bench_sam FILE [RUNS]"));
    const int runs = args.size() > 2 ? args.at(2).toInt() : 5;
    QFile file(args.at(1));
    if (!file.open(QIODevice::ReadOnly))
        die(file.errorString());
    const QByteArray data = file.readAll();
    std::printf("%s: %.1f MB\n", qPrintable(args.at(1)), data.size() / 1048576.0);

    print("JSON parser, no values kept", median(runs, [&] {
              nlohmann::json_sax<Json> *none = nullptr;
              struct Nothing : nlohmann::json_sax<Json>
              {
                  bool null() override { return true; }
                  bool boolean(bool) override { return true; }
                  bool number_integer(number_integer_t) override { return true; }
                  bool number_unsigned(number_unsigned_t) override { return true; }
                  bool number_float(number_float_t, const string_t &) override { return true; }
                  bool string(string_t &) override { return true; }
                  bool binary(binary_t &) override { return true; }
                  bool start_object(std::size_t) override { return true; }
                  bool key(string_t &) override { return true; }
                  bool end_object() override { return true; }
                  bool start_array(std::size_t) override { return true; }
                  bool end_array() override { return true; }
                  bool parse_error(std::size_t, const std::string &, const nlohmann::detail::exception &) override { return false; }
              } nothing;
              (void)none;
              if (!Json::sax_parse(data.constBegin(), data.constEnd(), &nothing))
                  die(QStringLiteral("not JSON"));
          }));
    print("reader, lines handed out", median(runs, [&] {
              size_t n = 0;
              igm::JsonSplitReader reader({{{"master", "mastrCnsgmtDec"}, [&](size_t, Json &&) { return ++n, true; }},
                                           {{"master", "voyageTransportEquipment"}, [&](size_t, Json &&) { return ++n, true; }}});
              if (!reader.read(data.constData(), data.constData() + data.size(), QString()).isOk())
                  die(QStringLiteral("not JSON"));
          }));
    igm::SamCheckReport report;
    print("check", median(runs, [&] { report = igm::checkSamData(data); }));
    std::printf("%lld lines, %lld containers, %lld errors, %lld warnings; peak %ld MB\n", report.lines, report.containers,
                report.errors(), report.warnings(), peakKb() / 1024);
    return 0;
}
