#pragma once
// Export and import of the whole account list as a user list file (*.ulf). A list locked by
// policy refuses the import (with one message, before the file dialog); export still works.
#include "app/client.h"
#include "core/secure_buffer.h"

namespace kpv {

void exportUserList(Client& client);
void importUserList(Client& client);

// The bytes up to the first one below 0x20, then one zero byte, with 0x7F made a space.
// Bytes from 0x80 up (å, ä, ö) stay. An empty input gives the one-byte empty text.
SecureBuffer pathFromDialogBuffer(const SecureBuffer& buffer);

} // namespace kpv
