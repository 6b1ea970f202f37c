// CEncoderApp: the application object. Runs the main dialog modally, the program ending with it,
// unless another program already works with the same settings file: that one gets the files.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <wx/app.h>

#include "platform/desktop/SingleInstance.h"

class CEncoderApp : public wxApp {
public:
    bool OnInit() override;
    int OnRun() override;

    // Runs the main dialog; returns when it has closed.
    bool InitInstance();
    // The files named on the command line, as absolute paths.
    std::vector<std::string> CommandLineFiles() const;

private:
    // The one program for its settings file: a later launch hands its files over and ends.
    std::unique_ptr<platform::SingleInstance> m_instance;
};

wxDECLARE_APP(CEncoderApp);
