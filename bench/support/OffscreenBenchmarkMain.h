// SPDX-License-Identifier: GPL-3.0-or-later
// main() for the benchmarks that drive real widgets: a QApplication, offscreen
// unless the caller chose a platform, then the closing summary below the table.
// Header-only so that the Qt-free benchmarks need not link Qt.
#pragma once

#include <QApplication>
#include <benchmark/benchmark.h>

namespace bench {

inline int runWidgetBenchmarks(int argc, char** argv, void (*printSummary)())
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    printSummary();
    return 0;
}

} // namespace bench
