#include "job/job_events.h"

void JobEventFanOut::Add(JobEvents* listener) {
    if (listener != nullptr) listeners_.push_back(listener);
}

void JobEventFanOut::JobStarted(const JobStart& start) {
    for (JobEvents* listener : listeners_) listener->JobStarted(start);
}

void JobEventFanOut::Noted(const JobNote& note) {
    for (JobEvents* listener : listeners_) listener->Noted(note);
}

void JobEventFanOut::LineFinished(const LineDone& line) {
    for (JobEvents* listener : listeners_) listener->LineFinished(line);
}

void JobEventFanOut::JobEnded(const JobEnd& end) {
    for (auto it = listeners_.rbegin(); it != listeners_.rend(); ++it) (*it)->JobEnded(end);
}
