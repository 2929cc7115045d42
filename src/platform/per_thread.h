#pragma once
// A value for each thread, kept under a thread-specific key that frees it
// when the thread ends, rather than as a thread_local object: MinGW-w64's
// runtime can free a thread's thread_local storage before it runs the
// destructors of the objects in it, which then read freed memory as the
// thread ends. Trivial thread_local values (pointers, flags) need none of
// this.

#include <pthread.h>

namespace tsln2xml::platform {

// One PerThread lives for the whole process (a function's static): Get()
// gives the calling thread's own T, made on its first use.
template <typename T>
class PerThread {
 public:
  PerThread() { pthread_key_create(&key_, [](void* p) { delete static_cast<T*>(p); }); }
  PerThread(const PerThread&) = delete;
  PerThread& operator=(const PerThread&) = delete;

  T& Get() {
    auto* value = static_cast<T*>(pthread_getspecific(key_));
    if (!value) {
      value = new T();
      pthread_setspecific(key_, value);
    }
    return *value;
  }

 private:
  pthread_key_t key_;
};

}  // namespace tsln2xml::platform
