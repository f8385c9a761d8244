#include "net/send_action.h"

namespace kpv {

// Out of line so that the table of virtual operations has one home.
SendAction::~SendAction() = default;

} // namespace kpv
