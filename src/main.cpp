#include "app/EncoderApp.h"

wxIMPLEMENT_APP(CEncoderApp);
