// CEncoderApp: the application object. Runs the main dialog modally; the program ends with it.
#pragma once

#include <string>
#include <vector>

#include <wx/app.h>

class CEncoderApp : public wxApp {
public:
    bool OnInit() override;
    int OnRun() override;

    // Runs the main dialog; returns when it has closed.
    bool InitInstance();
    // The files named on the command line, as absolute paths.
    std::vector<std::string> CommandLineFiles() const;
};

wxDECLARE_APP(CEncoderApp);
