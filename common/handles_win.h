// Small owners for Win32 handles: each handle is released in the scope that
// acquired it, on every path.
#pragma once

#include <windows.h>

namespace quillo {

// A kernel handle closed with CloseHandle. Both null and INVALID_HANDLE_VALUE mean none.
class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(HANDLE h) : h_(h) {}
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& o) noexcept : h_(o.release()) {}
  UniqueHandle& operator=(UniqueHandle&& o) noexcept {
    if (this != &o) reset(o.release());
    return *this;
  }
  ~UniqueHandle() { reset(); }

  HANDLE get() const { return h_; }
  bool valid() const { return h_ != nullptr && h_ != INVALID_HANDLE_VALUE; }
  explicit operator bool() const { return valid(); }
  HANDLE release() {
    HANDLE h = h_;
    h_ = nullptr;
    return h;
  }
  void reset(HANDLE h = nullptr) {
    if (valid()) CloseHandle(h_);
    h_ = h;
  }

 private:
  HANDLE h_ = nullptr;
};

// A view of a file mapping, unmapped when it goes out of scope.
class MappedView {
 public:
  MappedView(HANDLE mapping, DWORD access)
      : p_(mapping ? MapViewOfFile(mapping, access, 0, 0, 0) : nullptr) {}
  MappedView(const MappedView&) = delete;
  MappedView& operator=(const MappedView&) = delete;
  ~MappedView() {
    if (p_ != nullptr) UnmapViewOfFile(p_);
  }
  char* get() const { return static_cast<char*>(p_); }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  void* p_;
};

// A block from the process heap.
class HeapBuffer {
 public:
  explicit HeapBuffer(size_t bytes) : p_(bytes ? HeapAlloc(GetProcessHeap(), 0, bytes) : nullptr) {}
  HeapBuffer(const HeapBuffer&) = delete;
  HeapBuffer& operator=(const HeapBuffer&) = delete;
  ~HeapBuffer() {
    if (p_ != nullptr) HeapFree(GetProcessHeap(), 0, p_);
  }
  template <typename T = char>
  T* get() const { return static_cast<T*>(p_); }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  void* p_;
};

}  // namespace quillo
