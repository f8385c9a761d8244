#pragma once
// Keeps a secret (the mail password) in a file without writing it in the clear: on Windows it
// is encrypted for the current user (DPAPI), so only this user on this machine can read it
// back. Other platforms have no such store and refuse.
#include "core/secure_buffer.h"

namespace kpv {

// The protected form of plain's bytes; empty on failure.
SecureBuffer protectSecret(const SecureBuffer& plain);

// The bytes that protectSecret was given; false (plain emptied) for a damaged blob or one of
// another user or machine.
bool unprotectSecret(const SecureBuffer& sealed, SecureBuffer& plain);

} // namespace kpv
