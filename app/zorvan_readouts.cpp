// The memory readouts, the erase commands and the word report. Each will run
// inside the operation bracket like the single refreshes; until they are
// written their buttons do nothing.

#include "app/zorvan_window.h"

void TZorvan::ReadMemButtonClick() {}

void TZorvan::ReadSumButtonClick() {}

void TZorvan::ClearMemButtonClick() {}

void TZorvan::ClearSumButtonClick() {}

void TZorvan::Button1Click() {}
