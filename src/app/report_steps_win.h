// The report steps over the real machine: each step calls its collector.
#pragma once

#include <memory>

#include "app/report_pipeline.h"

namespace velto {

std::unique_ptr<ReportSteps> CreateReportSteps();

// The program file's folder, with trailing backslash.
UString ProgramFolder();


}  // namespace velto
