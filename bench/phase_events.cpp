// Reading bench/phase_probe's log into the stamps of each capture.
#include "phase_events.h"

#include <fstream>

namespace {

const int kEventCount = static_cast<int>(PhaseEvent::ReplySent) + 1;

// The field of stamps that event sets.
double *StampOf(CaptureStamps *stamps, PhaseEvent event)
{
    double *const fields[kEventCount] = {
        &stamps->received,   &stamps->startCalled, &stamps->startReturned, &stamps->frameClaimed,
        &stamps->converted,  &stamps->fileInPlace, &stamps->stopCalled,    &stamps->stopReturned,
        &stamps->pauseBegan, &stamps->pauseEnded,  &stamps->replySent};
    return fields[static_cast<int>(event)];
}

} // namespace

bool ReadCaptureStamps(const std::string &path, std::vector<CaptureStamps> *captures,
                       std::string *error)
{
    std::ifstream log(path);
    if (!log) {
        *error = "the phase probe wrote no log (" + path + ")";
        return false;
    }
    CaptureStamps current{};
    unsigned seen = 0; // one bit an event since the last command was received
    int number = 0;
    unsigned long long nanoseconds = 0;
    while (log >> number >> nanoseconds) {
        if (number < 0 || number >= kEventCount) {
            *error = "unknown event " + std::to_string(number) + " in " + path;
            return false;
        }
        const PhaseEvent event = static_cast<PhaseEvent>(number);
        if (event == PhaseEvent::Received)
            seen = 0;
        const unsigned bit = 1u << number;
        // A pause interrupted and resumed ends with its last nanosleep.
        if ((seen & bit) == 0 || event == PhaseEvent::PauseEnded)
            *StampOf(&current, event) = static_cast<double>(nanoseconds) / 1e6;
        seen |= bit;
        if (event != PhaseEvent::ReplySent ||
            (seen & 1u << static_cast<int>(PhaseEvent::StartCalled)) == 0)
            continue; // not a capture's reply (the reply to End, say)
        if (seen != (1u << kEventCount) - 1) {
            *error = "capture " + std::to_string(captures->size() + 1) + " lacks a step in " + path;
            return false;
        }
        captures->push_back(current);
        seen = 0;
    }
    return true;
}
