// CAboutIcon: the application icon of the main window as a button - a hand cursor, the tooltip
// "About " and the main window's title - that opens the About box.
#pragma once

#include <string>

#include "about/HoverStatic.h"

// The tooltip for a main-window title: "About " and at most the first 79 characters of the title.
std::string AboutToolTipText(const std::string& title);

// A member of the main dialog, attached in its OnInitDialog. UI thread only.
class CAboutIcon final : public CHoverStatic {
public:
    // Runs the About box modally.
    void OnClicked() override;

private:
    void PreSubclassWindow() override;
};
