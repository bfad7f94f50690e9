#include <windows.h>

#include "platform/waits.hpp"

namespace platform {
namespace {

// The slim lock's and condition variable's functions, looked up at run time: Windows XP has none
// of them, and an import would stop the executable from starting there.
struct slim_functions {
  void(WINAPI* acquire)(PSRWLOCK);
  void(WINAPI* release)(PSRWLOCK);
  BOOL(WINAPI* sleep)(PCONDITION_VARIABLE, PSRWLOCK, DWORD, ULONG);
  void(WINAPI* wake_all)(PCONDITION_VARIABLE);
  bool present() const { return acquire && release && sleep && wake_all; }
};

template <typename function>
function find(HMODULE module, const char* name) {
  return reinterpret_cast<function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

const slim_functions* slim() {
  static const slim_functions found = [] {
    const HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
    return slim_functions{
        find<decltype(slim_functions::acquire)>(kernel32, "AcquireSRWLockExclusive"),
        find<decltype(slim_functions::release)>(kernel32, "ReleaseSRWLockExclusive"),
        find<decltype(slim_functions::sleep)>(kernel32, "SleepConditionVariableSRW"),
        find<decltype(slim_functions::wake_all)>(kernel32, "WakeAllConditionVariable"),
    };
  }();
  return found.present() ? &found : nullptr;
}

static_assert(sizeof(SRWLOCK) == sizeof(void*) && sizeof(CONDITION_VARIABLE) == sizeof(void*));

PSRWLOCK as_lock(void*& storage) { return reinterpret_cast<PSRWLOCK>(&storage); }
PCONDITION_VARIABLE as_variable(void*& storage) { return reinterpret_cast<PCONDITION_VARIABLE>(&storage); }

}  // namespace

void mutex::lock() {
  if (const slim_functions* functions = slim()) {
    functions->acquire(as_lock(lock_));
  } else {
    fallback_.lock();
  }
}

void mutex::unlock() {
  if (const slim_functions* functions = slim()) {
    functions->release(as_lock(lock_));
  } else {
    fallback_.unlock();
  }
}

void condition::notify_all() {
  if (const slim_functions* functions = slim()) {
    functions->wake_all(as_variable(variable_));
  } else {
    fallback_.notify_all();
  }
}

void condition::wait_once(std::unique_lock<mutex>& lock, std::uint32_t milliseconds) {
  if (const slim_functions* functions = slim()) {
    // Fails with ERROR_TIMEOUT when the time is up; the caller looks at its clock either way.
    functions->sleep(as_variable(variable_), as_lock(lock.mutex()->lock_), milliseconds, 0);
  } else if (milliseconds == NO_TIMEOUT) {
    fallback_.wait(lock);
  } else {
    fallback_.wait_for(lock, std::chrono::milliseconds(milliseconds));
  }
}

}  // namespace platform
