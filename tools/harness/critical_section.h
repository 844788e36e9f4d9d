#pragma once
// A critical section for the threads of one process, held for a scope. (Not
// std::mutex: the tools share their code with the program's win32 thread
// model, whose runtime has none.)

#include <windows.h>

namespace lptlcd {

class CriticalSection {
 public:
  // Held until the scope ends: `const auto held = section.Hold();`.
  class [[nodiscard]] Held {
   public:
    explicit Held(CRITICAL_SECTION& locked) : section(locked) { ::EnterCriticalSection(&section); }
    ~Held() { ::LeaveCriticalSection(&section); }
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;

   private:
    CRITICAL_SECTION& section;
  };

  CriticalSection() { ::InitializeCriticalSection(&section); }
  ~CriticalSection() { ::DeleteCriticalSection(&section); }
  CriticalSection(const CriticalSection&) = delete;
  CriticalSection& operator=(const CriticalSection&) = delete;

  // const, so that the owners' const readers can take it too.
  Held Hold() const { return Held(section); }

 private:
  mutable CRITICAL_SECTION section;
};

}  // namespace lptlcd
