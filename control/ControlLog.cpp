// The control keeps no log: the lines of the setup manager's shared readers go nowhere here.
#include "SetupLog.h"

void LogWrite(unsigned char, const char*, ...) {}
