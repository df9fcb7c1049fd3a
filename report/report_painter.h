// The analysis report: a header and four panels (transfer curve, harmonic spectrum, aliasing and
// cost per oversampling factor, latency) drawn from the figures of `zaltrim-host analyze`.
#pragma once

#include <QImage>

#include "figures.h"

namespace zreport {

constexpr int kReportWidth = 1600;
constexpr int kReportHeight = 1200;

QImage draw_report(const zanalysis::Figures& figures);

}  // namespace zreport
