// Owns one reference to a COM interface and releases it when it goes.
#pragma once

#include <utility>

template <class I>
class TComPtr {
 public:
  TComPtr() = default;
  explicit TComPtr(I* p) : p_(p) {}   // takes over a reference the caller holds
  ~TComPtr() { Reset(); }
  TComPtr(const TComPtr&) = delete;
  TComPtr& operator=(const TComPtr&) = delete;
  TComPtr(TComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  TComPtr& operator=(TComPtr&& other) noexcept {
    if (this != &other) {
      Reset();
      p_ = std::exchange(other.p_, nullptr);
    }
    return *this;
  }

  I* operator->() const { return p_; }
  I* Get() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  // For calls that return a new reference: releases the old one first.
  void** Out() {
    Reset();
    return reinterpret_cast<void**>(&p_);
  }
  I** OutTyped() {
    Reset();
    return &p_;
  }
  void Reset() {
    if (p_ != nullptr) p_->Release();
    p_ = nullptr;
  }
  I* Detach() { return std::exchange(p_, nullptr); }

 private:
  I* p_ = nullptr;
};
