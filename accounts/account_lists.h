#pragma once
// The containers of the three parallel account lists: the account at position i is element i
// of accountIds, accountKeys and accountNames.
#include "core/secure_buffer.h"

#include <cstdint>
#include <utility>
#include <vector>

namespace kpv {

// Growable array of u32 account ids. An index out of range throws the integer 0.
class AccountIdList {
  public:
    std::uint32_t length() const noexcept { return static_cast<std::uint32_t>(ids_.size()); }
    std::uint32_t operator[](std::uint32_t i) const;
    void append(std::uint32_t id) { ids_.push_back(id); }
    // Room for n ids in all, so that appending up to n moves nothing.
    void reserve(std::uint32_t n) { ids_.reserve(n); }
    void clear() noexcept;
    void assignFrom(const AccountIdList& other) { ids_ = other.ids_; }
    void removeAt(std::uint32_t i);
    // Position of the first element equal to id, searching from the start.
    bool find(std::uint32_t id, std::uint32_t& position) const noexcept;

  private:
    std::vector<std::uint32_t> ids_;
};

// Growable array of owned buffers; every element is wiped when it is removed, cleared or
// destroyed. An index out of range throws the integer 0.
class BufferList {
  public:
    BufferList() = default;
    BufferList(const BufferList& other) = default;
    BufferList& operator=(const BufferList& other) = default;
    BufferList(BufferList&&) noexcept = default;
    BufferList& operator=(BufferList&&) noexcept = default;
    ~BufferList() = default; // each SecureBuffer wipes itself

    std::uint32_t length() const noexcept { return static_cast<std::uint32_t>(items_.size()); }
    const SecureBuffer& operator[](std::uint32_t i) const;
    void appendCopy(const SecureBuffer& buffer) { items_.push_back(buffer); }
    void append(SecureBuffer&& buffer) { items_.push_back(std::move(buffer)); }
    // Room for n elements in all, so that appending up to n moves nothing.
    void reserve(std::uint32_t n) { items_.reserve(n); }
    SecureBuffer copyAt(std::uint32_t i) const { return (*this)[i]; }
    // Replaces element i; the old bytes are wiped.
    void replaceAt(std::uint32_t i, SecureBuffer buffer);
    void clear() noexcept { items_.clear(); }
    void assignFrom(const BufferList& other) { items_ = other.items_; }
    void removeAt(std::uint32_t i);

  private:
    std::vector<SecureBuffer> items_;
};

} // namespace kpv
