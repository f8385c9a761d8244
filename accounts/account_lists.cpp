#include "accounts/account_lists.h"

namespace kpv {
namespace {
[[noreturn]] void outOfRange() {
    throw 0;
}
} // namespace

std::uint32_t AccountIdList::operator[](std::uint32_t i) const {
    if (i >= ids_.size())
        outOfRange();
    return ids_[i];
}

void AccountIdList::clear() noexcept {
    std::vector<std::uint32_t>().swap(ids_);
}

void AccountIdList::removeAt(std::uint32_t i) {
    if (i >= ids_.size())
        outOfRange();
    ids_.erase(ids_.begin() + i);
}

bool AccountIdList::find(std::uint32_t id, std::uint32_t& position) const noexcept {
    for (std::uint32_t i = 0; i < ids_.size(); ++i)
        if (ids_[i] == id) {
            position = i;
            return true;
        }
    return false;
}

const SecureBuffer& BufferList::operator[](std::uint32_t i) const {
    if (i >= items_.size())
        outOfRange();
    return items_[i];
}

void BufferList::replaceAt(std::uint32_t i, SecureBuffer buffer) {
    if (i >= items_.size())
        outOfRange();
    items_[i] = std::move(buffer);
}

void BufferList::removeAt(std::uint32_t i) {
    if (i >= items_.size())
        outOfRange();
    items_.erase(items_.begin() + i); // the moved-from tail element is empty, the removed one wiped
}

} // namespace kpv
