#include "step_report.h"

#include <stdio.h>
#include <string.h>

#include "json_line.h"

namespace {

int Json;
int Announced;  // a terminal line waits for its step's result

void Field(StepLine* line, const char* key, const std::string& jsonValue, const std::string& textValue)
{
    line->Json += ",\"";
    line->Json += key;
    line->Json += "\":";
    line->Json += jsonValue;
    char last = line->Text.empty() ? ' ' : line->Text.back();
    if (last != ' ')
        line->Text += ", ";
    line->Text += key;
    line->Text += ' ';
    line->Text += textValue;
}

}  // namespace

void SetReportJson(int json)
{
    Json = json;
}

void BeginStep(StepLine* line, const char* step)
{
    line->Json = "{\"step\":" + JsonQuote(step);
    // An announcement already began the terminal line with the step's name.
    line->Text = Announced ? "" : std::string(step) + ": ";
}

void StepNumber(StepLine* line, const char* key, uint64_t value)
{
    Field(line, key, std::to_string(value), std::to_string(value));
}

void StepString(StepLine* line, const char* key, const std::string& value)
{
    Field(line, key, JsonQuote(value), value);
}

void StepTiming(StepLine* line, const TransportTiming& timing)
{
    if (!timing.Known)
        return;
    StepNumber(line, "elapsed_us", timing.ElapsedUs);
    StepNumber(line, "held_us", timing.HeldUs);
}

void PrintStep(StepLine* line)
{
    if (Json)
        printf("%s}\n", line->Json.c_str());
    else
        printf("%s\n", line->Text.c_str());
    Announced = 0;
    fflush(stdout);
}

void AnnounceStep(const char* step, uint32_t expectedMs, int screenStops)
{
    if (Json)
        return;
    uint32_t tenths = (expectedMs + 99) / 100;
    printf("%s: up to %u.%u s%s ... ", step, tenths / 10, tenths % 10, screenStops ? " with the screen stopped" : "");
    fflush(stdout);
    Announced = 1;
}

void PrintMessage(const char* kind, const char* text)
{
    // Errors and warnings go to standard error, as the requests' do; with
    // --json their objects stay among the steps' too.
    int toError = strcmp(kind, "error") == 0 || strcmp(kind, "warning") == 0;
    if (Json) {
        JsonObject json;
        json.String("message", text);
        json.String("kind", kind);
        printf("%s}\n", json.Text.c_str());
    } else if (Announced) {
        printf("\n");
    }
    fflush(stdout);
    if (toError) {
        fprintf(stderr, "%s: %s\n", kind, text);
        fflush(stderr);
    } else if (!Json) {
        printf("%s: %s\n", kind, text);
        fflush(stdout);
    }
    Announced = 0;
}
