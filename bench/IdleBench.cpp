// SPDX-License-Identifier: GPL-3.0-or-later
// Idle cost: CPU time of the process while a port is open and idle at the
// default Delay of 100, presence check included, against the same process
// with the port closed.
#include <cstdio>

#include "bench/BenchSupport.h"
#include "serial/OrvelSerialPort.h"
#include "tests/support/Pty.h"

namespace {

constexpr double kWindowSeconds = 10.0;
constexpr double kTargetShareOfACore = 0.01;

// Share of one core used while the main thread serves hand-offs for the window.
double CpuShareWhileServing() {
    const double cpuBefore = ProcessCpuSeconds();
    const auto start = TClock::now();
    while (SecondsSince(start) < kWindowSeconds) CheckSynchronize(100);
    return (ProcessCpuSeconds() - cpuBefore) / SecondsSince(start);
}

}  // namespace

int main() {
    TPty far;
    TPortMap map("COM5=" + far.SlavePath());
    TOrvelSerialPort port(nullptr);
    port.SetCommPort(spCOM5);

    const double closed = CpuShareWhileServing();
    PrintFigure("idle, port closed (baseline)", closed * 100, "%cpu", closed / kTargetShareOfACore,
                "ratio to the 1% target");
    port.Open();
    const double open = CpuShareWhileServing();
    port.Close();
    PrintFigure("idle, port open at Delay 100", open * 100, "%cpu", open / kTargetShareOfACore,
                "ratio to the 1% target");
    std::printf("target: under 1%% of one core: %s\n", open < kTargetShareOfACore ? "met" : "MISSED");
    return 0;
}
