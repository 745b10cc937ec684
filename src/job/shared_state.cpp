#include "job/shared_state.h"

namespace kelditra {

int32_t gBusyFlag = 0;
int32_t gCancelFlag = 0;
double gProgressPercent = 0.0;
WindowHandle gProgressWindow = nullptr;

}  // namespace kelditra
