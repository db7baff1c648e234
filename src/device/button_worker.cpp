#include "device/button_worker.h"

namespace quenlo::device {

// Connecting and the leftover cleanup are not part of this build yet; the
// worker accepts both codes and does nothing for them.
void ButtonWorker(int) {}

}  // namespace quenlo::device
