// Clears the browser's history of visited pages through the system's URL history object.
#pragma once

#include <windows.h>

namespace HistoryUnit {

// Asks the system's URL history object to forget every visited page. Returns the object's
// answer: a failure (the object missing, or a system that does not implement the clearing)
// means nothing was cleared. Needs COM on the calling thread.
HRESULT ClearHistory();

}  // namespace HistoryUnit
