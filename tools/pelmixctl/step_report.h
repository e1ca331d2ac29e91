// The lines the user-level commands print: one per step, a JSON object with
// --json, else "step: key value, ..." for a reader at a terminal. Messages
// of the wizard's logic are lines of their own.
#ifndef PELMIXCTL_STEP_REPORT_H
#define PELMIXCTL_STEP_REPORT_H

#include <stdint.h>

#include <string>

#include "request_transport.h"

void SetReportJson(int json);

struct StepLine {
    std::string Json;
    std::string Text;
};

void BeginStep(StepLine* line, const char* step);
void StepNumber(StepLine* line, const char* key, uint64_t value);
void StepString(StepLine* line, const char* key, const std::string& value);
// The virtual times of the step's request, when the transport knows them.
void StepTiming(StepLine* line, const TransportTiming& timing);
void PrintStep(StepLine* line);

// A terminal's reader is told what a step will cost before it starts; the
// step's line then finishes it. Nothing with --json.
void AnnounceStep(const char* step, uint32_t expectedMs, int screenStops);

// A text the wizard's logic shows: kind "error", "warning" or "note". Errors
// and warnings are printed on standard error (with --json also as an object
// on standard output), notes on standard output.
void PrintMessage(const char* kind, const char* text);

#endif
