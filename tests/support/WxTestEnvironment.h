// What tests need to know about the toolkit they run under.
#pragma once

#include <gtest/gtest.h>

// True when wxWidgets started on a display (tests run under xvfb-run).
bool HaveDisplay();

// Window tests need a display; without one they fail rather than pass by default.
#define REQUIRE_DISPLAY() \
    ASSERT_TRUE(HaveDisplay()) << "this test opens windows: run it under xvfb-run"
