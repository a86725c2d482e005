// The application object: its start-up step runs the main dialog and ends the program.
#pragma once

#include "AppFrame.h"

class CRomfluxApp : public CAppFrame {
public:
    BOOL InitInstance() override;
};
