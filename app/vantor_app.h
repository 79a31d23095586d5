// The connector's application object. One per process: it decides from the
// command-line text alone between a print job (text not empty) and the
// configuration dialog (text empty), does that one thing and ends.
#pragma once

#include "app/framework.h"

class CVantorApp : public CAppBase {
public:
    using CAppBase::CAppBase;
    bool InitInstance() override;
};

// The common-control classes registered at start-up (ICC_WIN95_CLASSES).
inline constexpr unsigned kCommonControlClasses = 0xFF;

// Caption of the connector's own boxes.
inline constexpr const char* kProductCaption = "Priority - Tarvel Connector";
// Caption of the job-mode debug box.
inline constexpr const char* kDebugCaption = "Debug";

// The whole program between the platform's entry point and the process's
// end: reads the module path and command line from the platform, stops with
// a message when the path is too long for the framework, otherwise runs a
// CVantorApp. Returns the process exit code.
int VantorMain(platform::Interaction& interaction);
